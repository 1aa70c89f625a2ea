#pragma once
// The two checksums ext volumes carry: crc32c over metadata (superblock,
// group descriptors, inodes, extent and directory blocks, journal blocks)
// and the older crc16 of group descriptors. Both are the raw running form:
// the caller passes the seed and receives the register without a final
// inversion, as the volume stores it.
#include <cstddef>
#include <cstdint>

namespace salvora {

uint32_t Crc32c(uint32_t crc, const uint8_t* data, size_t length);
uint32_t Crc32cLe32(uint32_t crc, uint32_t value);
uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t length);

}  // namespace salvora
