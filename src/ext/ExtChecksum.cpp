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

// The register after `crc` is followed by `bytes` zero bytes would be
// crc times x^(8 * bytes), modulo the polynomial (reflected, as the
// register is): what joins the crcs of pieces taken apart.
uint32_t MultiplyModP(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
    if (a & bit) product ^= b;
    b = (b & 1) ? (b >> 1) ^ 0x82F63B78u : b >> 1;
  }
  return product;
}

uint32_t ShiftFactor(uint64_t bytes) {
  uint32_t power = 1u << 23;   // x^8: one byte
  uint32_t factor = 1u << 31;  // x^0
  for (; bytes != 0; bytes >>= 1) {
    if (bytes & 1) factor = MultiplyModP(factor, power);
    power = MultiplyModP(power, power);
  }
  return factor;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) uint64_t HardwareRun(uint64_t value, const uint8_t* data,
                                                       size_t words) {
  for (size_t i = 0; i < words; ++i) {
    uint64_t word;
    std::memcpy(&word, data + i * 8, 8);
    value = _mm_crc32_u64(value, word);
  }
  return value;
}

// Every journal copy and directory block a scan reads is checked whole.
// The processor's crc32c instruction takes eight bytes at a time, but each
// step waits for the one before; three lanes over three thirds of the
// data keep it busy, and their registers are joined after.
__attribute__((target("sse4.2"))) uint32_t HardwareCrc32c(uint32_t crc, const uint8_t* data,
                                                          size_t length) {
  constexpr size_t kLaneMinimum = 256;
  size_t laneWords = length / 24;
  if (laneWords * 8 < kLaneMinimum) {
    uint64_t value = HardwareRun(crc, data, length / 8);
    size_t done = length / 8 * 8;
    return TableCrc32c(static_cast<uint32_t>(value), data + done, length - done);
  }
  size_t laneBytes = laneWords * 8;
  const uint8_t* b = data + laneBytes;
  const uint8_t* c = b + laneBytes;
  uint64_t first = crc, second = 0, third = 0;
  for (size_t i = 0; i < laneWords; ++i) {
    uint64_t x, y, z;
    std::memcpy(&x, data + i * 8, 8);
    std::memcpy(&y, b + i * 8, 8);
    std::memcpy(&z, c + i * 8, 8);
    first = _mm_crc32_u64(first, x);
    second = _mm_crc32_u64(second, y);
    third = _mm_crc32_u64(third, z);
  }
  // Blocks come in few sizes: the factor of the last lane length is kept.
  thread_local size_t factorBytes = 0;
  thread_local uint32_t factor = 0;
  if (factorBytes != laneBytes) {
    factor = ShiftFactor(laneBytes);
    factorBytes = laneBytes;
  }
  uint32_t joined =
      MultiplyModP(factor, static_cast<uint32_t>(first)) ^ static_cast<uint32_t>(second);
  joined = MultiplyModP(factor, joined) ^ static_cast<uint32_t>(third);
  size_t done = 3 * laneBytes;
  uint64_t value = HardwareRun(joined, data + done, (length - done) / 8);
  done += (length - done) / 8 * 8;
  return TableCrc32c(static_cast<uint32_t>(value), data + done, length - done);
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
