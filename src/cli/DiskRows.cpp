#include "cli/DiskRows.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "storage/FormatSize.h"

namespace salvora {

const char* EntryKindName(EntryKind kind) {
  switch (kind) {
    case EntryKind::kVolume:
      return "volume";
    case EntryKind::kUnallocated:
      return "unallocated";
    case EntryKind::kWholeDisk:
      return "disk";
  }
  return "volume";
}

namespace {

unsigned UsedPercent(const PartitionRecord& record) {
  if (record.totalBytes == 0) return 0;
  return static_cast<unsigned>(static_cast<unsigned __int128>(record.usedBytes) * 100 /
                               record.totalBytes);
}

std::string Shown(const std::string& text) { return text.empty() ? "-" : text; }

}  // namespace

void PrintDiskRow(const PartitionRecord& record) {
  std::string type =
      record.kind == EntryKind::kVolume ? record.fileSystemName : EntryKindName(record.kind);
  if (record.kind == EntryKind::kWholeDisk && !record.fileSystemName.empty())
    type = record.fileSystemName;
  std::printf("  @%-3u %-16s %-16s %-12s %12s %4u%%  %s\n", record.ordinal,
              record.devicePath.c_str(), Shown(record.label).c_str(), Shown(type).c_str(),
              FormatSize(static_cast<int64_t>(record.totalBytes)).c_str(), UsedPercent(record),
              record.mountPoint.c_str());
  if (record.kind == EntryKind::kUnallocated)
    std::printf("       sectors %" PRId64 " to %" PRId64 "\n", record.start,
                record.start + record.length - 1);
}

}  // namespace salvora
