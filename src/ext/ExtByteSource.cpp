#include "ext/ExtByteSource.h"

#include <algorithm>
#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora {

int ExtSectorBytes::Read(uint64_t offset, size_t length, uint8_t* out) {
  std::memset(out, 0, length);
  if (length == 0) return kOk;
  if (offset >= Size() || length > Size() - offset) return kInvalidParameter;
  uint64_t first = offset / sectorSize_;
  uint64_t last = (offset + length - 1) / sectorSize_;
  uint64_t sectors = last - first + 1;
  if (sectors > (1u << 20)) return kInvalidParameter;
  bool aligned = offset % sectorSize_ == 0 && length % sectorSize_ == 0;
  uint8_t* target = out;
  if (!aligned) {
    bounce_.resize(static_cast<size_t>(sectors * sectorSize_));
    target = bounce_.data();
  }
  uint32_t got = 0;
  int result = source_.ReadSectors(static_cast<int32_t>(sectors), target, firstSector_ + first,
                                   static_cast<int32_t>(sectorSize_), got);
  if (!aligned) {
    size_t skip = static_cast<size_t>(offset - first * sectorSize_);
    size_t arrived = static_cast<size_t>(got) * sectorSize_;
    if (arrived > skip) std::memcpy(out, target + skip, std::min(length, arrived - skip));
  }
  if (result == kOk && got < sectors) result = kReadFault;
  return result;
}

int ExtMemoryBytes::Read(uint64_t offset, size_t length, uint8_t* out) {
  std::memset(out, 0, length);
  if (offset >= size_ || length > size_ - offset) return kInvalidParameter;
  std::memcpy(out, data_ + offset, length);
  return kOk;
}

}  // namespace salvora
