#pragma once
// The partition table an image of a whole disk carries, read by libblkid
// from the file itself, so that no loop device (and no permission) is
// needed to see what a disk image holds.
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

struct ImagePartition {
  int number = 0;  // as the table numbers it: 1-4 primary, 5 on logical (MBR)
  uint64_t startBytes = 0;
  uint64_t lengthBytes = 0;
  bool extendedContainer = false;  // holds only the table of logical partitions
};

// The partitions of the MBR or GPT that the image's first sectors hold.
// False when they hold neither (or the file cannot be read).
bool ListImagePartitions(const std::string& imagePath, std::vector<ImagePartition>& out);

}  // namespace salvora
