// `salvora disks`: the disk list as the desktop application shows it, one
// header per disk and one row per volume, unallocated stretch or empty disk.
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/RecordOutput.h"
#include "storage/DiskEnumerator.h"
#include "storage/DiskHelpers.h"

namespace salvora {
namespace {

const char* KindName(EntryKind kind) {
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

unsigned UsedPercent(const PartitionRecord& record) {
  if (record.totalBytes == 0) return 0;
  return static_cast<unsigned>(static_cast<unsigned __int128>(record.usedBytes) * 100 /
                               record.totalBytes);
}

std::string Shown(const std::string& text) { return text.empty() ? "-" : text; }

void PrintRow(const PartitionRecord& record) {
  std::string type =
      record.kind == EntryKind::kVolume ? record.fileSystemName : KindName(record.kind);
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

std::string RowJson(const PartitionRecord& record, bool removable) {
  char numbers[512];
  std::snprintf(numbers, sizeof numbers,
                "{\"ordinal\":%u,\"kind\":\"%s\",\"disk\":%d,\"removable\":%s,\"partition\":%d,"
                "\"partitionType\":%u,\"start\":%" PRId64 ",\"length\":%" PRId64
                ",\"sectorSize\":%u,\"totalBytes\":%" PRIu64 ",\"usedBytes\":%" PRIu64
                ",\"freeBytes\":%" PRIu64,
                record.ordinal, KindName(record.kind), record.diskNumber,
                removable ? "true" : "false", record.partitionNumber, record.partitionType,
                record.start, record.length, record.bytesPerSector, record.totalBytes,
                record.usedBytes, record.freeBytes);
  return numbers + std::string(",\"device\":") + JsonString(record.devicePath) +
         ",\"diskDevice\":" + JsonString(record.diskPath) +
         ",\"fileSystem\":" + JsonString(record.fileSystemName) +
         ",\"label\":" + JsonString(record.label) +
         ",\"mountPoint\":" + JsonString(record.mountPoint) + "}";
}

int RunDisks(bool json) {
  DiskEnumerator enumerator;
  if (!enumerator.Refresh()) {
    std::fprintf(stderr, "salvora: the system's list of block devices cannot be read\n");
    return kExitUsage;
  }
  for (const auto& [diskNumber, list] : enumerator.Disks()) {
    bool removable = IsRemovableDisk(diskNumber);
    if (!json)
      std::printf("%s %u (%s)\n", removable ? "Removable disk" : "Fixed disk", diskNumber + 1,
                  list.empty() ? "" : list.front().diskPath.c_str());
    for (const PartitionRecord& record : list) {
      if (json)
        std::printf("%s\n", RowJson(record, removable).c_str());
      else
        PrintRow(record);
    }
  }
  return kExitOk;
}

}  // namespace

void AddDisksCommand(CLI::App& app, int& exitCode) {
  static bool json = false;
  CLI::App* command = app.add_subcommand(
      "disks", "list disks, partitions and unallocated space; scan or image one as @N");
  command->add_flag("--json", json, "one JSON object per entry on stdout");
  command->callback([&exitCode] { exitCode = RunDisks(json); });
}

}  // namespace salvora
