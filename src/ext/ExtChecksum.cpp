#include "ext/ExtChecksum.h"

#include <array>

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

}  // namespace

uint32_t Crc32c(uint32_t crc, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) crc = kCrc32cTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
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
