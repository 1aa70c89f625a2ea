#pragma once
#include <cstring>

#include "ext/ExtByteSource.h"
#include "platform/ErrorCodes.h"

namespace salvora::test {

// A volume in memory with one range that cannot be read, as a bad sector
// would have it: any read that touches it fails, its bytes zero.
class BytesWithBadRange final : public ExtByteSource {
 public:
  BytesWithBadRange(const uint8_t* data, size_t size, uint64_t badFrom, uint64_t badEnd)
      : inner_(data, size), badFrom_(badFrom), badEnd_(badEnd) {}
  uint64_t Size() const override { return inner_.Size(); }
  int Read(uint64_t offset, size_t length, uint8_t* out) override {
    int result = inner_.Read(offset, length, out);
    if (offset >= badEnd_ || offset + length <= badFrom_) return result;
    std::memset(out, 0, length);
    return kReadFault;
  }

 private:
  ExtMemoryBytes inner_;
  uint64_t badFrom_, badEnd_;
};

}  // namespace salvora::test
