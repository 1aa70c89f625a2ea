#include "ext/ExtSeedSolver.h"

#include <array>
#include <map>
#include <vector>

#include "ext/ExtChecksum.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint32_t kOldInodeBytes = 128;
constexpr uint32_t kChecksumLo = 0x7C;
constexpr uint32_t kChecksumHi = 0x82;
constexpr uint32_t kDirectoryTailBytes = 12;
// The index root: "." and ".." entries, an 8-byte info header, then the
// count and limit of the index entries (8 bytes each).
constexpr uint32_t kIndexCountOffset = 32;
constexpr uint32_t kIndexEntryBytes = 8;
constexpr uint32_t kIndexInfoBytes = 8;
constexpr uint32_t kMaxIndexLevels = 3;

// The inverse of running the register over `length` zero bytes, as a
// reduced basis: each entry pairs an image with the start that gives it,
// the images in echelon form by their highest bit.
class ZeroRunInverse {
 public:
  explicit ZeroRunInverse(size_t length) {
    std::vector<uint8_t> zeros(length, 0);
    for (uint32_t bit = 0; bit < 32; ++bit) {
      uint32_t image = Crc32c(1u << bit, zeros.data(), zeros.size()), start = 1u << bit;
      for (int high = 31; high >= 0 && image != 0; --high) {
        if (!(image >> high & 1)) continue;
        if (rows_[high].image == 0) {
          rows_[high] = {image, start};
          break;
        }
        image ^= rows_[high].image;
        start ^= rows_[high].start;
      }
    }
  }
  uint32_t Solve(uint32_t image) const {
    uint32_t start = 0;
    for (int high = 31; high >= 0; --high)
      if (image >> high & 1 && rows_[high].image != 0) {
        image ^= rows_[high].image;
        start ^= rows_[high].start;
      }
    return start;
  }

 private:
  struct Row {
    uint32_t image = 0, start = 0;
  };
  std::array<Row, 32> rows_{};
};

const ZeroRunInverse& InverseFor(size_t length) {
  // Lengths are few (an inode size, a block size): each inverse is built once.
  thread_local std::map<size_t, ZeroRunInverse> inverses;
  auto it = inverses.find(length);
  if (it == inverses.end()) it = inverses.emplace(length, ZeroRunInverse(length)).first;
  return it->second;
}

}  // namespace

uint32_t Crc32cStartFor(const uint8_t* data, size_t length, uint32_t result) {
  return InverseFor(length).Solve(result ^ Crc32c(0, data, length));
}

std::optional<uint32_t> ExtVolumeSeedOfInode(const ExtSuperblock& sb, uint32_t number,
                                             const uint8_t* raw) {
  if (sb.inodeSize <= kOldInodeBytes || sb.inodeSize > 1024) return std::nullopt;
  uint32_t extraBytes = Le16(raw + kOldInodeBytes);
  if (extraBytes < 4 || extraBytes > sb.inodeSize - kOldInodeBytes) return std::nullopt;
  std::vector<uint8_t> body(raw, raw + sb.inodeSize);
  uint32_t stored = Le16(raw + kChecksumLo) | static_cast<uint32_t>(Le16(raw + kChecksumHi)) << 16;
  body[kChecksumLo] = body[kChecksumLo + 1] = body[kChecksumHi] = body[kChecksumHi + 1] = 0;
  uint32_t inodeStart = Crc32cStartFor(body.data(), body.size(), stored);
  uint32_t generation = Le32(raw + 0x64);
  uint8_t identity[8];
  for (int i = 0; i < 4; ++i) {
    identity[i] = static_cast<uint8_t>(number >> (8 * i));
    identity[4 + i] = static_cast<uint8_t>(generation >> (8 * i));
  }
  return Crc32cStartFor(identity, sizeof identity, inodeStart);
}

std::optional<uint32_t> ExtDirectoryBlockOwnerSeed(const uint8_t* block, uint32_t blockSize) {
  if (blockSize < 2 * kDirectoryTailBytes) return std::nullopt;
  const uint8_t* tail = block + blockSize - kDirectoryTailBytes;
  if (Le32(tail) != 0 || Le16(tail + 4) != kDirectoryTailBytes || tail[6] != 0 || tail[7] != 0xDE)
    return std::nullopt;
  return Crc32cStartFor(block, blockSize - kDirectoryTailBytes, Le32(tail + 8));
}

std::optional<uint32_t> ExtIndexRootOwnerSeed(const uint8_t* block, uint32_t blockSize) {
  if (blockSize < 1024 || Le16(block + 4) != 12 || Le16(block + 16) != blockSize - 12 ||
      Le32(block + 24) != 0 || block[29] != kIndexInfoBytes || block[30] > kMaxIndexLevels)
    return std::nullopt;
  uint32_t limit = Le16(block + kIndexCountOffset), count = Le16(block + kIndexCountOffset + 2);
  uint64_t tail = kIndexCountOffset + uint64_t{limit} * kIndexEntryBytes;
  if (count == 0 || count > limit || tail + 8 > blockSize) return std::nullopt;
  // The checksum runs over the entries in use, then the tail with its
  // checksum field taken as zero.
  uint32_t covered = kIndexCountOffset + count * kIndexEntryBytes;
  std::vector<uint8_t> message(block, block + covered);
  message.insert(message.end(), block + tail, block + tail + 4);
  message.insert(message.end(), 4, 0);
  return Crc32cStartFor(message.data(), message.size(), Le32(block + tail + 4));
}

}  // namespace salvora
