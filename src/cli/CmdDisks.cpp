// `salvora disks`: the disk list as the desktop application shows it, one
// header per disk and one row per volume, unallocated stretch or empty disk.
#include <cinttypes>
#include <cstdio>
#include <vector>

#include "cli/Commands.h"
#include "cli/DiskRows.h"
#include "cli/ExitCodes.h"
#include "cli/RecordOutput.h"
#include "storage/DiskEnumerator.h"
#include "storage/DiskHelpers.h"

namespace salvora {
namespace {

std::string RowJson(const PartitionRecord& record, bool removable) {
  char numbers[512];
  std::snprintf(numbers, sizeof numbers,
                "{\"ordinal\":%u,\"kind\":\"%s\",\"disk\":%d,\"removable\":%s,\"partition\":%d,"
                "\"partitionType\":%u,\"start\":%" PRId64 ",\"length\":%" PRId64
                ",\"sectorSize\":%u,\"totalBytes\":%" PRIu64 ",\"usedBytes\":%" PRIu64
                ",\"freeBytes\":%" PRIu64,
                record.ordinal, EntryKindName(record.kind), record.diskNumber,
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
        PrintDiskRow(record);
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
