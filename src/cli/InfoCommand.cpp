#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/DiskRows.h"
#include "cli/ExitCodes.h"
#include "cli/SourceSpec.h"
#include "ext/ExtSuperblock.h"
#include "platform/ErrorCodes.h"
#include "platform/RandomAccessFile.h"
#include "storage/EngineSelection.h"
#include "storage/FormatSize.h"
#include "storage/ImageDisks.h"
#include "storage/ImageEntries.h"
#include "storage/SectorSource.h"
#include "storage/VolumeClass.h"

namespace salvora {
namespace {

// ext volumes are named by the generation their features make them (when
// their first superblock is lost, just ext).
const char* ClassName(RandomAccessFile& file, uint64_t offset, const std::vector<uint8_t>& probe) {
  VolumeClass volumeClass = ClassifyVolumeAt(file, offset, probe);
  ExtSuperblock sb;
  if (volumeClass == VolumeClass::kExt && probe.size() >= kExtSuperblockOffset + kExtSuperblockBytes &&
      ParseExtSuperblock(probe.data() + kExtSuperblockOffset, UINT64_MAX, sb))
    return sb.Generation();
  return VolumeClassName(volumeClass);
}

int RunInfo(const std::string& text) {
  ScanSource source;
  std::string reason;
  if (!ResolveSource(text, source, reason)) {
    std::fprintf(stderr, "salvora: %s\n", reason.c_str());
    return kExitUsage;
  }
  std::unique_ptr<RandomAccessFile> file;
  std::string devicePath = source.path;
  if (OpenRandomAccessFile(devicePath, file, &reason) != kOk) {
    std::fprintf(stderr, "salvora: %s\n", reason.c_str());
    return kExitUsage;
  }
  std::vector<uint8_t> probe(kProbeBytes, 0);
  uint64_t got = 0;
  // A region of a disk is opened through the disk's node and begins inside it.
  bool region = source.kind == ScanSource::Kind::kRegion;
  uint64_t probeOffset = region ? source.firstSector * source.sectorSize : 0;
  ReadChunked(*file, probe.data(), probeOffset, kProbeBytes, got);
  const char* volumeClass = got < kProbeBytes ? "unreadable" : ClassName(*file, probeOffset, probe);
  // An image of a whole disk is shown as the disk list shows a disk.
  std::vector<PartitionRecord> entries;
  bool partitioned =
      source.kind == ScanSource::Kind::kImage && ListImageEntries(source.path, entries);
  if (partitioned) volumeClass = "disk with a partition table";
  uint64_t bytes = source.sectorCount * source.sectorSize;
  std::printf("source:       %s\n", text.c_str());
  std::printf("class:        %s\n", volumeClass);
  std::printf("sector size:  %u\n", source.sectorSize);
  std::printf("sectors:      %" PRIu64 "\n", source.sectorCount);
  std::printf("size:         %s\n", FormatSize(static_cast<int64_t>(bytes)).c_str());
  std::string image;
  if (source.kind != ScanSource::Kind::kImage && !ImageOfDiskNumber(source.diskNumber, image))
    std::printf("disk number:  %u\n", source.diskNumber);
  if (source.kind == ScanSource::Kind::kPartition || region)
    std::printf("first sector: %" PRIu64 "\n", source.firstSector);
  if (partitioned) {
    std::printf("entries (scan one as %s@N):\n", text.c_str());
    for (const PartitionRecord& entry : entries) PrintDiskRow(entry);
  }
  return kExitOk;
}

}  // namespace

void AddInfoCommand(CLI::App& app, int& exitCode) {
  static std::string source;
  CLI::App* command = app.add_subcommand("info", "show what SOURCE is and how large");
  command->add_option("SOURCE", source, "image file, disk or partition node")->required();
  command->callback([&exitCode] { exitCode = RunInfo(source); });
}

}  // namespace salvora
