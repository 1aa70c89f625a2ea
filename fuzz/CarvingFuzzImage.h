#pragma once
// Fuzz input as a read-only disk in memory.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "storage/SectorSource.h"

namespace salvora::fuzz {

class MemoryImage : public RandomAccessFile {
 public:
  MemoryImage(const uint8_t* data, size_t size)
      : bytes_(reinterpret_cast<const char*>(data), size) {
    bytes_.resize((size + 511) / 512 * 512, '\0');
  }
  long long ReadAt(void* buffer, size_t length, uint64_t offset) override {
    if (offset >= bytes_.size()) return 0;
    size_t n = std::min<uint64_t>(length, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return static_cast<long long>(n);
  }
  uint64_t Size() const override { return bytes_.size(); }
  uint32_t LogicalSectorSize() const override { return 512; }
  bool IsBlockDevice() const override { return false; }

 private:
  std::string bytes_;
};

inline void AttachImage(SectorSource& source, const uint8_t* data, size_t size) {
  auto image = std::make_unique<MemoryImage>(data, size);
  uint64_t sectors = image->Size() / 512;
  source.Attach(std::move(image), sectors);
}

}  // namespace salvora::fuzz
