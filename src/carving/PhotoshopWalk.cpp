// A Photoshop document's length from its sections: header, colour mode
// data, image resources and layers each state their length, and the merged
// image that ends the file is raw (its size follows from the dimensions) or
// run-length packed (its row byte counts are listed before it). Large
// documents (version 2) widen the layer length and the row counts.
#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kHeaderBytes = 26;
constexpr uint16_t kRaw = 0, kPacked = 1;

struct PsdHeader {
  uint16_t version = 0, channels = 0, depth = 0, mode = 0;
  uint32_t height = 0, width = 0;
};

bool ValidHeader(const PsdHeader& h) {
  uint32_t maxSide = h.version == 1 ? 30000 : 300000;
  bool depthKnown = h.depth == 1 || h.depth == 8 || h.depth == 16 || h.depth == 32;
  return (h.version == 1 || h.version == 2) && h.channels >= 1 && h.channels <= 56 &&
         h.height >= 1 && h.height <= maxSide && h.width >= 1 && h.width <= maxSide && depthKnown &&
         h.mode <= 9;
}

// Skips a section that starts with its length (`lengthBytes` wide).
bool SkipSection(FileWindow& window, uint64_t& at, uint32_t lengthBytes) {
  const uint8_t* p = window.At(at, lengthBytes);
  if (!p) return false;
  uint64_t length = lengthBytes == 8 ? (uint64_t{Be32(p)} << 32) | Be32(p + 4) : Be32(p);
  if (length > window.Limit()) return false;
  at += lengthBytes + length;
  return true;
}

// The packed rows' byte counts, added up.
bool PackedBytes(FileWindow& window, uint64_t at, uint64_t rows, uint32_t countBytes,
                 uint64_t& total) {
  total = 0;
  for (uint64_t row = 0; row < rows; ++row) {
    const uint8_t* p = window.At(at + row * countBytes, countBytes);
    if (!p) return false;
    total += countBytes == 4 ? Be32(p) : Be16(p);
  }
  return true;
}

}  // namespace

bool WalkPhotoshop(FileWindow& window, uint64_t& size) {
  const uint8_t* p = window.At(0, kHeaderBytes);
  if (!p || !HasText(p, "8BPS")) return false;
  PsdHeader h;
  h.version = Be16(p + 4);
  h.channels = Be16(p + 12);
  h.height = Be32(p + 14);
  h.width = Be32(p + 18);
  h.depth = Be16(p + 22);
  h.mode = Be16(p + 24);
  for (int i = 6; i < 12; ++i)
    if (p[i] != 0) return false;
  if (!ValidHeader(h)) return false;
  uint64_t at = kHeaderBytes;
  const uint32_t layerLengthBytes = h.version == 1 ? 4 : 8;
  if (!SkipSection(window, at, 4) || !SkipSection(window, at, 4) ||
      !SkipSection(window, at, layerLengthBytes))
    return false;
  const uint8_t* compression = window.At(at, 2);
  if (!compression) return false;
  uint16_t method = Be16(compression);
  at += 2;
  const uint64_t rows = uint64_t{h.channels} * h.height;
  if (method == kRaw) {
    at += rows * ((uint64_t{h.width} * h.depth + 7) / 8);
  } else if (method == kPacked) {
    const uint32_t countBytes = h.version == 1 ? 2 : 4;
    uint64_t packed = 0;
    if (!PackedBytes(window, at, rows, countBytes, packed)) return false;
    at += rows * countBytes + packed;
  } else {
    return false;  // zip-compressed data does not state its length
  }
  if (at > window.Limit()) return false;
  size = at;
  return true;
}

}  // namespace salvora
