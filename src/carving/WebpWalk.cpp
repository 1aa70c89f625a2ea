// A WebP's length: the RIFF header states it, and the chunks inside (each
// padded to an even length) must fill exactly that much, so a stale or
// foreign header does not pass for a picture.
#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kRiffHeader = 12;  // "RIFF", size, "WEBP"
constexpr uint32_t kChunkHeader = 8;

}  // namespace

bool WalkWebp(FileWindow& window, uint64_t& size) {
  const uint8_t* header = window.At(0, kRiffHeader);
  if (!header || !HasText(header, "RIFF") || !HasText(header + 8, "WEBP")) return false;
  const uint64_t end = uint64_t{Le32(header + 4)} + 8;
  if (end > window.Limit()) return false;
  uint64_t at = kRiffHeader;
  uint32_t chunks = 0;
  while (at < end) {
    const uint8_t* chunk = window.At(at, kChunkHeader);
    if (!chunk) return false;
    uint64_t dataBytes = Le32(chunk + 4);
    at += kChunkHeader + dataBytes + (dataBytes & 1);
    ++chunks;
  }
  if (at != end || chunks == 0) return false;
  size = end;
  return true;
}

}  // namespace salvora
