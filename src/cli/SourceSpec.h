#pragma once
// What the user named on the command line as the thing to scan: an image
// file, a whole-disk node, a partition node, or a region of a disk or of an
// image of a disk ("disk.img@2").
#include <cstdint>
#include <string>

namespace salvora {

struct ScanSource {
  enum class Kind { kImage, kDisk, kPartition, kRegion } kind = Kind::kImage;
  std::string path;  // image file or device node
  // The whole disk's node (or the image of a whole disk) a partition or
  // region lies on; scans find the disk by it when they start.
  std::string diskPath;
  uint32_t diskNumber = 0;
  uint64_t firstSector = 0;  // on the disk, in its logical sectors
  uint64_t sectorCount = 0;
  uint32_t sectorSize = 512;
  uint16_t sourceTag = 1;
  std::string deviceToProtect;  // node whose disk recovery must not write to
  std::string shownName;        // how messages name it, when not by its path
};

struct PartitionRecord;
// Entry `entry` of the image of a disk at `imagePath`, as a source.
ScanSource ImageEntrySource(const std::string& imagePath, const PartitionRecord& entry);

// Resolves SOURCE; on failure returns false with a one-line reason.
bool ResolveSource(const std::string& text, ScanSource& out, std::string& reason);

}  // namespace salvora
