#pragma once
// Working a crc32c back to the register it started from. The raw crc32c is
// affine in its starting register, and running it over zero bytes is an
// invertible map, so for given data and result exactly one start exists.
// A volume reformatted with a new identity keeps its old inodes and
// directory blocks, each checksummed from a seed the old superblock held:
// solving for that seed tells which blocks are genuine copies of the old
// volume, and which folder a directory block belonged to, without the old
// superblock.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "ext/ExtSuperblock.h"

namespace salvora {

// The start register `s` for which Crc32c(s, data, length) == result.
uint32_t Crc32cStartFor(const uint8_t* data, size_t length, uint32_t result);

// The volume seed under which a raw inode's full 32-bit checksum holds if
// it is inode `number`; nothing when the inode keeps only the low half (no
// extra space for the high half) or its size does not fit `sb`.
std::optional<uint32_t> ExtVolumeSeedOfInode(const ExtSuperblock& sb, uint32_t number,
                                             const uint8_t* raw);

// The register a directory block's tail checksum was started from: the
// owning folder's inode seed (see ExtInodeSeed). Nothing for a block
// without a checksum tail.
std::optional<uint32_t> ExtDirectoryBlockOwnerSeed(const uint8_t* block, uint32_t blockSize);

// The same for the first block of a hashed folder, whose checksum covers
// its index entries and sits in a tail after them. Nothing when the block
// is not such an index root.
std::optional<uint32_t> ExtIndexRootOwnerSeed(const uint8_t* block, uint32_t blockSize);

}  // namespace salvora
