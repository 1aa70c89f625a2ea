#include "platform/MemoryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace salvora {

long long MemoryFile::ReadAt(void* buffer, size_t length, uint64_t offset) {
  if (offset >= bytes_.size()) return 0;
  size_t n = std::min<uint64_t>(length, bytes_.size() - offset);
  if (maxRead_ && n > maxRead_) n = maxRead_;
  for (uint64_t sector = offset / 512; sector * 512 < offset + n; ++sector) {
    if (badSectors_.count(sector)) {
      // Deliver what lies before the bad sector, as a device would.
      uint64_t good = sector * 512 > offset ? sector * 512 - offset : 0;
      if (good == 0) return -EIO;
      n = static_cast<size_t>(good);
      break;
    }
  }
  std::memcpy(buffer, bytes_.data() + offset, n);
  return static_cast<long long>(n);
}

}  // namespace salvora
