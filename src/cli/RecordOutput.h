#pragma once
// How found records are shown: text lines or one JSON object per record,
// and the closing summary by type group.
#include <cstdio>
#include <string>
#include <string_view>

#include "results/FoundRecord.h"
#include "results/RecordArena.h"

namespace salvora {

// A JSON string literal of `text`, control characters escaped.
std::string JsonString(std::string_view text);
std::string RecordJson(const FoundRecord& record, const std::string& folderPath);
std::string RecordLine(const FoundRecord& record, const std::string& folderPath);
void PrintGroupSummary(std::FILE* out, const RecordArena& records);
const char* EngineKindName(uint32_t engineKind);

}  // namespace salvora
