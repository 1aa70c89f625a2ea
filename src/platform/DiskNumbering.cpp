#include "platform/DiskNumbering.h"

#include <algorithm>

namespace salvora {

std::vector<uint32_t> DiskNumbering::Assign(const std::vector<DiskIdentity>& disks) {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<uint32_t> numbers;
  numbers.reserve(disks.size());
  for (const DiskIdentity& disk : disks) {
    auto known = std::find(known_.begin(), known_.end(), disk);
    if (known == known_.end()) known = known_.insert(known_.end(), disk);
    numbers.push_back(static_cast<uint32_t>(known - known_.begin()));
  }
  return numbers;
}

}  // namespace salvora
