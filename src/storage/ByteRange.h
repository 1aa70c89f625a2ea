#pragma once
#include <cstdint>

namespace salvora {

// A stretch of a file or device, in bytes from its start.
struct ByteRange {
  uint64_t offset = 0;
  uint64_t length = 0;

  uint64_t End() const { return offset + length; }
  bool operator==(const ByteRange&) const = default;
};

}  // namespace salvora
