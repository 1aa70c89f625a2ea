#pragma once
// What libblkid says of a volume, as raw tags. A normal user may not open a
// device to probe it, but udev has already probed it as root and keeps the
// same tags in its database, which everyone may read.
#include <string>

namespace salvora {

struct VolumeTags {
  std::string type;       // "vfat", "ntfs", "exfat" ...
  std::string version;    // "FAT32" ...
  std::string label;
  std::string partitionScheme;  // "dos", "gpt"
  std::string partitionType;    // "0xc", or a GUID for GPT
};

// The tags udev recorded for the block device at `devicePath`; false when
// udev knows nothing of it (no udev running, or not yet probed).
bool ReadUdevVolumeTags(const std::string& devicePath, VolumeTags& out);

// udev's encoded label ("My\x20Disk") as the bytes the volume holds.
std::string DecodeUdevText(const std::string& encoded);

}  // namespace salvora
