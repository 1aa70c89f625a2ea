#pragma once
// Disk numbers that hold for the life of the process. A disk keeps the
// number it was first listed with while it stays attached, whatever else
// comes or goes; a disk that appears later, or comes back (a new media
// sequence), gets a number no disk had before. The first listing numbers
// the disks in the order of their device numbers, so a fresh process
// numbers them as every listing did before any change.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace salvora {

// What tells one attached disk from another.
struct DiskIdentity {
  std::string name;  // kernel name, "sdb"
  uint32_t major = 0, minor = 0;
  uint64_t sequence = 0;  // the kernel's media sequence number (0 where it has none)
  bool operator==(const DiskIdentity&) const = default;
};

class DiskNumbering {
 public:
  // The number of each disk in `disks`, listed now in device-number order.
  std::vector<uint32_t> Assign(const std::vector<DiskIdentity>& disks);

 private:
  std::mutex lock_;
  std::vector<DiskIdentity> known_;  // index = disk number
};

}  // namespace salvora
