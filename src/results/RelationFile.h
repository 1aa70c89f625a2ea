#pragma once
// The relation file's text: " | <key> - [<n>,<n>,...]" per folder key, in
// ascending key order, no line breaks. Parsing never trusts the text: it
// stops at the first malformed item and keeps the items before it.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace salvora {

using RelationMap = std::map<uint64_t, std::vector<uint32_t>>;

void ParseRelationText(const char* text, size_t length, RelationMap& out);
std::string FormatRelationItem(uint64_t key, const std::vector<uint32_t>& children);

}  // namespace salvora
