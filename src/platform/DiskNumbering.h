#pragma once
// Disk numbers that hold for the life of the process. A disk keeps the
// number it was first listed with while it stays attached, whatever else
// comes or goes; a disk that appears later, or comes back (a new media
// sequence), gets a number no disk had before. The first listing numbers
// the disks in the order of their device numbers, so a fresh process
// numbers them as every listing did before any change.
#include <mutex>
#include <vector>

#include "platform/BlockDevices.h"

namespace salvora {

class DiskNumbering {
 public:
  // Sets the number of each disk in `disks`, listed now in device-number
  // order. A disk is known again by its name, device numbers and media
  // sequence.
  void Assign(std::vector<WholeDisk>& disks);

 private:
  std::mutex lock_;
  std::vector<WholeDisk> known_;  // index = disk number
};

}  // namespace salvora
