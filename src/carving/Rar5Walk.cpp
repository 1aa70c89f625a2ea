// A RAR 5 archive's length from its blocks: each header carries its CRC-32,
// its size and, for file and service blocks, the size of the data after
// it; the end-of-archive block closes the file. Archives whose headers are
// encrypted cannot be walked.
#include <zlib.h>

#include <algorithm>

#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kSignatureBytes = 8;
constexpr uint32_t kMaxVintBytes = 10;
constexpr uint64_t kMaxHeaderBytes = 0x200000;  // the format's own bound
constexpr uint64_t kEncryptionBlock = 4, kEndBlock = 5;
constexpr uint64_t kHasExtra = 0x1, kHasData = 0x2;
constexpr uint32_t kMaxBlocks = 1u << 20;

// A variable-length number: seven bits a byte, low bits first, the high
// bit set on every byte but the last.
bool ReadVint(FileWindow& window, uint64_t& at, uint64_t& value) {
  value = 0;
  for (uint32_t i = 0; i < kMaxVintBytes; ++i) {
    const uint8_t* b = window.At(at++, 1);
    if (!b) return false;
    value |= uint64_t{*b & 0x7Fu} << (7 * i);
    if ((*b & 0x80) == 0) return true;
  }
  return false;
}

// CRC-32 of `length` bytes from `at`, read a span at a time.
bool Crc32Of(FileWindow& window, uint64_t at, uint64_t length, uint32_t& crc) {
  uLong running = crc32(0L, Z_NULL, 0);
  while (length > 0) {
    uint32_t span = static_cast<uint32_t>(std::min<uint64_t>(length, FileWindow::kMaxSpan));
    const uint8_t* bytes = window.At(at, span);
    if (!bytes) return false;
    running = crc32(running, bytes, span);
    at += span;
    length -= span;
  }
  crc = static_cast<uint32_t>(running);
  return true;
}

}  // namespace

bool WalkRar5(FileWindow& window, uint64_t& size) {
  uint64_t at = kSignatureBytes;
  for (uint32_t blocks = 0; blocks < kMaxBlocks; ++blocks) {
    const uint8_t* stored = window.At(at, 4);
    if (!stored) return false;
    const uint32_t storedCrc = Le32(stored);
    uint64_t cursor = at + 4, headerBytes = 0;
    if (!ReadVint(window, cursor, headerBytes) || headerBytes == 0 || headerBytes > kMaxHeaderBytes)
      return false;
    const uint64_t headerEnd = cursor + headerBytes;
    uint32_t crc = 0;
    if (!Crc32Of(window, at + 4, headerEnd - (at + 4), crc) || crc != storedCrc) return false;
    uint64_t type = 0, flags = 0, extraBytes = 0, dataBytes = 0;
    if (!ReadVint(window, cursor, type) || !ReadVint(window, cursor, flags)) return false;
    if ((flags & kHasExtra) && !ReadVint(window, cursor, extraBytes)) return false;
    if ((flags & kHasData) && !ReadVint(window, cursor, dataBytes)) return false;
    if (cursor > headerEnd || type == kEncryptionBlock) return false;
    if (dataBytes > window.Limit() - headerEnd) return false;
    at = headerEnd + dataBytes;
    if (type == kEndBlock) {
      size = at;
      return true;
    }
  }
  return false;
}

}  // namespace salvora
