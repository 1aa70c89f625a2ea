#pragma once
// One entry of the disk list: a volume, a stretch of a disk that no volume
// covers, or a whole disk without volumes. Copied by value; the list a
// front end shows keeps its own copies.
#include <cstdint>
#include <string>

namespace salvora {

enum class EntryKind : uint8_t { kVolume, kUnallocated, kWholeDisk };

// Partition type bytes the list reports for the file systems it knows,
// whatever the partition table says.
constexpr uint8_t kTypeNtfs = 0x07;
constexpr uint8_t kTypeFat32 = 0x0B;
constexpr uint8_t kTypeFat = 0x06;

struct PartitionRecord {
  // 1-based position in the whole list across all disks; the key that found
  // records carry as their source tag. Linux has no drive letters, so every
  // entry is known by this number. 0 until the list is complete.
  uint32_t ordinal = 0;
  EntryKind kind = EntryKind::kVolume;
  // MBR type byte, replaced by the type of NTFS, FAT32 or FAT when the
  // volume holds one of those; 0 for unallocated and whole-disk entries.
  uint8_t partitionType = 0;
  int32_t diskNumber = -1;
  int32_t partitionNumber = -1;  // 0 for unallocated and whole-disk entries
  uint64_t totalBytes = 0;
  uint64_t usedBytes = 0;
  uint64_t freeBytes = 0;
  // Bytes while the volumes are probed, sectors of the disk once the list
  // is complete.
  int64_t start = 0;
  int64_t length = 0;
  uint32_t bytesPerSector = 512;
  std::string fileSystemName;  // "NTFS", "FAT32", "FAT", ...; empty when unknown
  std::string label;
  std::string devicePath;  // partition node, or the disk node for other entries
  std::string diskPath;    // node of the whole disk
  std::string mountPoint;  // empty when not mounted
};

}  // namespace salvora
