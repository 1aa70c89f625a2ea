#include "ext/ExtByteSource.h"

#include <algorithm>
#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora {

// What could not be read is zeroed here, and only that: zeroing the whole
// buffer first would write every byte twice, and the scan reads the whole
// journal through here.
int ExtSectorBytes::Read(uint64_t offset, size_t length, uint8_t* out) {
  if (length == 0) return kOk;
  uint64_t first = offset / sectorSize_;
  uint64_t last = (offset + length - 1) / sectorSize_;
  uint64_t sectors = last - first + 1;
  if (offset >= Size() || length > Size() - offset || sectors > (1u << 20)) {
    std::memset(out, 0, length);
    return kInvalidParameter;
  }
  bool aligned = offset % sectorSize_ == 0 && length % sectorSize_ == 0;
  uint8_t* target = out;
  if (!aligned) {
    bounce_.resize(static_cast<size_t>(sectors * sectorSize_));
    target = bounce_.data();
  }
  uint32_t got = 0;
  int result = source_.ReadSectors(static_cast<int32_t>(sectors), target, firstSector_ + first,
                                   static_cast<int32_t>(sectorSize_), got);
  size_t skip = static_cast<size_t>(offset - first * sectorSize_);
  size_t arrived = static_cast<size_t>(std::min<uint64_t>(got, sectors)) * sectorSize_;
  size_t usable = arrived > skip ? std::min(length, arrived - skip) : 0;
  if (!aligned) std::memcpy(out, target + skip, usable);
  if (usable < length) std::memset(out + usable, 0, length - usable);
  if (result == kOk && got < sectors) result = kReadFault;
  return result;
}

int ExtMemoryBytes::Read(uint64_t offset, size_t length, uint8_t* out) {
  if (offset >= size_ || length > size_ - offset) {
    std::memset(out, 0, length);
    return kInvalidParameter;
  }
  std::memcpy(out, data_ + offset, length);
  return kOk;
}

}  // namespace salvora
