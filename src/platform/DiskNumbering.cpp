#include "platform/DiskNumbering.h"

#include <algorithm>

namespace salvora {
namespace {

bool SameDisk(const WholeDisk& a, const WholeDisk& b) {
  return a.name == b.name && a.major == b.major && a.minor == b.minor && a.sequence == b.sequence;
}

}  // namespace

void DiskNumbering::Assign(std::vector<WholeDisk>& disks) {
  std::lock_guard<std::mutex> hold(lock_);
  for (WholeDisk& disk : disks) {
    auto known = std::find_if(known_.begin(), known_.end(),
                              [&](const WholeDisk& other) { return SameDisk(disk, other); });
    if (known == known_.end()) known = known_.insert(known_.end(), disk);
    disk.number = static_cast<uint32_t>(known - known_.begin());
  }
}

}  // namespace salvora
