#include "ext/ExtChecksum.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace salvora {
namespace {

template <typename Word, Word kPolynomial>
constexpr std::array<Word, 256> ReflectedTable() {
  std::array<Word, 256> table{};
  for (uint32_t byte = 0; byte < 256; ++byte) {
    Word value = static_cast<Word>(byte);
    for (int bit = 0; bit < 8; ++bit)
      value = static_cast<Word>((value & 1) ? (value >> 1) ^ kPolynomial : value >> 1);
    table[byte] = value;
  }
  return table;
}

constexpr auto kCrc32cTable = ReflectedTable<uint32_t, 0x82F63B78u>();
constexpr auto kCrc16Table = ReflectedTable<uint16_t, 0xA001>();

uint32_t TableCrc32c(uint32_t crc, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) crc = kCrc32cTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

#if defined(__x86_64__)
// Every journal copy a scan reads is checked whole: the processor's own
// crc32c instruction takes eight bytes at a time where it has one.
__attribute__((target("sse4.2"))) uint32_t HardwareCrc32c(uint32_t crc, const uint8_t* data,
                                                          size_t length) {
  uint64_t value = crc;
  size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    value = _mm_crc32_u64(value, word);
  }
  return TableCrc32c(static_cast<uint32_t>(value), data + i, length - i);
}

const bool kHaveHardwareCrc = __builtin_cpu_supports("sse4.2");
#endif

}  // namespace

uint32_t Crc32c(uint32_t crc, const uint8_t* data, size_t length) {
#if defined(__x86_64__)
  if (kHaveHardwareCrc) return HardwareCrc32c(crc, data, length);
#endif
  return TableCrc32c(crc, data, length);
}

uint32_t Crc32cLe32(uint32_t crc, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return Crc32c(crc, bytes, sizeof bytes);
}

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i)
    crc = static_cast<uint16_t>(kCrc16Table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
  return crc;
}

}  // namespace salvora
