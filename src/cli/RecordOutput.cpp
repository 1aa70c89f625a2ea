#include "cli/RecordOutput.h"

#include <cinttypes>
#include <map>
#include <unordered_map>

#include "platform/Clock.h"
#include "results/RecoveryNames.h"
#include "results/TypeGroups.h"
#include "storage/FormatSize.h"

namespace salvora {

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

namespace {

std::string NameOf(const FoundRecord& record) {
  return std::string(record.name, RecordNameLength(record.name));
}

}  // namespace

const char* EngineKindName(uint32_t engineKind) {
  switch (engineKind) {
    case kQuickNtfs:
      return "quick-ntfs";
    case kQuickFat:
      return "quick-fat";
    case kDeepNtfs:
      return "deep-ntfs";
    case kDeepFat:
      return "deep-fat";
    case kCarved:
      return "carved";
    case kQuickExfat:
      return "quick-exfat";
    case kDeepExfat:
      return "deep-exfat";
    case kQuickExt:
      return "quick-ext";
    case kDeepExt:
      return "deep-ext";
    default:
      return "unknown";
  }
}

std::string RecordJson(const FoundRecord& record, const std::string& folderPath) {
  std::string name = NameOf(record);
  char numbers[160];
  std::snprintf(numbers, sizeof numbers,
                ",\"size\":%" PRIu64 ",\"entrySector\":%" PRIu64
                ",\"firstCluster\":%u"
                ",\"source\":%u",
                record.fileSize, record.entrySector, record.firstCluster,
                unsigned{record.sourceTag});
  return "{\"name\":" + JsonString(name) + ",\"path\":" + JsonString(folderPath) + numbers +
         ",\"created\":" + JsonString(FormatFileTime(record.createTime)) +
         ",\"modified\":" + JsonString(FormatFileTime(record.writeTime)) +
         ",\"accessed\":" + JsonString(FormatFileTime(record.accessTime)) +
         ",\"type\":" + JsonString(LowerExtension(name)) +
         ",\"group\":" + JsonString(GroupFolderOfName(name)) +
         ",\"engine\":" + JsonString(EngineKindName(record.engineKind)) +
         ",\"contentOk\":" + (record.contentOk ? "true" : "false") +
         ",\"deleted\":" + (record.isDeleted ? "true" : "false") + "}";
}

std::string RecordLine(const FoundRecord& record, const std::string& folderPath) {
  char size[32];
  std::snprintf(size, sizeof size, "%14" PRIu64, record.fileSize);
  std::string modified = FormatFileTime(record.writeTime);
  if (modified.empty()) modified = "-";
  std::string line = std::string(size) + "  " + modified;
  line.resize(std::max<size_t>(line.size(), 36), ' ');
  // Names from the disk reach a terminal: no control character of theirs
  // may act on it, nor a direction mark disguise them.
  line += "  " + ShownText(folderPath + NameOf(record));
  if (!record.contentOk) line += "  (may be damaged or incomplete)";
  return line;
}

void PrintGroupSummary(std::FILE* out, const RecordArena& records) {
  std::map<std::string, std::pair<uint64_t, uint64_t>> groups;
  // Files share few extensions: each one's group is looked up once.
  std::unordered_map<std::string, std::string> groupOfSuffix;
  uint64_t totalBytes = 0;
  for (uint32_t i = 0; i < records.Size(); ++i) {
    std::string name(records.Name(i));
    std::string suffix(NameSuffix(name));
    auto known = groupOfSuffix.find(suffix);
    if (known == groupOfSuffix.end())
      known = groupOfSuffix.emplace(std::move(suffix), GroupFolderOfName(name)).first;
    auto& group = groups[known->second];
    ++group.first;
    group.second += records.FileSize(i);
    totalBytes += records.FileSize(i);
  }
  auto files = [](uint64_t count) { return count == 1 ? "file" : "files"; };
  std::fprintf(out, "Found %zu %s (%s)\n", records.Size(), files(records.Size()),
               FormatSize(static_cast<int64_t>(totalBytes)).c_str());
  for (const auto& [name, group] : groups)
    std::fprintf(out, "  %-9s %8" PRIu64 " %-5s  %s\n", name.c_str(), group.first,
                 files(group.first), FormatSize(static_cast<int64_t>(group.second)).c_str());
}

}  // namespace salvora
