#pragma once
// What a volume holds, as libblkid recognises it from its first sectors and
// from the partition table entry that describes it.
#include <cstdint>
#include <string>

namespace salvora {

struct VolumeFacts {
  std::string fileSystemName;  // "NTFS", "FAT32", "FAT", "exFAT", "ext4" ...; empty if unknown
  std::string label;
  uint8_t partitionType = 0;  // type byte of an MBR entry; 0 for GPT or none
  bool extendedContainer = false;
};

// A device the user may not open is described from udev's database. False
// when neither source knows the device (no permission and no udev, medium
// gone).
bool ProbeVolume(const std::string& devicePath, VolumeFacts& out);
// The same for the `lengthBytes` bytes at `offsetBytes` of a file: a
// partition inside an image of a whole disk. Table facts stay empty.
bool ProbeVolumeAt(const std::string& path, uint64_t offsetBytes, uint64_t lengthBytes,
                   VolumeFacts& out);

}  // namespace salvora
