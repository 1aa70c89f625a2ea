#pragma once
// Big-endian fields and signature comparisons in untrusted byte buffers,
// beside the little-endian reads. Callers check the bounds.
#include <cstdint>
#include <cstring>

#include "storage/LittleEndian.h"

namespace salvora {

inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}
inline uint32_t Be24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}
// True when the text (without its terminator) stands at `p`.
template <size_t N>
inline bool HasText(const uint8_t* p, const char (&text)[N]) {
  return std::memcmp(p, text, N - 1) == 0;
}
template <size_t N>
inline bool HasBytes(const uint8_t* p, const uint8_t (&bytes)[N]) {
  return std::memcmp(p, bytes, N) == 0;
}

}  // namespace salvora
