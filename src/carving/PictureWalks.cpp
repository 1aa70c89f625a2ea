// Lengths of PNG, GIF and BMP pictures from their own structure: the PNG
// chunk chain to IEND, the GIF block chain to its trailer, and the BMP size
// field checked against the header and the picture's dimensions.
#include <algorithm>

#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

// --- PNG: signature, then chunks of length, type, data and CRC.
constexpr uint64_t kPngSignatureBytes = 8;
constexpr uint32_t kMaxChunkData = 0x7FFFFFFF;
const uint8_t kIendCrc[] = {0xAE, 0x42, 0x60, 0x82};

bool IsChunkType(const uint8_t* type) {
  for (int i = 0; i < 4; ++i) {
    uint8_t c = type[i] & 0xDF;  // letters of either case
    if (c < 'A' || c > 'Z') return false;
  }
  return true;
}

// --- GIF: header and screen descriptor, then extension and image blocks,
// each closed by a chain of sub-blocks.
constexpr uint64_t kGifHeaderBytes = 13;
constexpr uint8_t kGifExtension = 0x21;
constexpr uint8_t kGifImage = 0x2C;
constexpr uint8_t kGifTrailer = 0x3B;
constexpr uint64_t kNotFound = UINT64_MAX;

uint64_t ColorTableBytes(uint8_t flags) {
  return (flags & 0x80) ? 3ull << ((flags & 0x07) + 1) : 0;
}

// The offset after a chain of sub-blocks that starts at `at`.
uint64_t SkipSubBlocks(FileWindow& window, uint64_t at) {
  for (;;) {
    const uint8_t* length = window.At(at, 1);
    if (!length) return kNotFound;
    uint8_t n = *length;
    at += 1 + n;
    if (n == 0) return at;
  }
}

// --- BMP: file header (14 bytes), then one of the DIB headers.
constexpr uint32_t kBmpFileHeader = 14;
constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kV5Header = 124;
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
// Writers may pad the file to a multiple of four bytes.
constexpr uint64_t kBmpSlack = 3;
// Far beyond any picture that fits the format's cap.
constexpr int64_t kMaxBmpSide = 1 << 20;

bool IsDibHeaderSize(uint32_t size) {
  for (uint32_t known : {12u, 40u, 52u, 56u, 64u, 108u, 124u})
    if (size == known) return true;
  return false;
}

struct BitmapHeader {
  uint64_t fileSize = 0, dataOffset = 0, imageBytes = 0;
  int64_t width = 0, height = 0;
  uint32_t headerSize = 0, planes = 0, bitsPerPixel = 0, compression = 0;
  uint64_t profileEnd = 0;  // end of a V5 header's colour profile
};

bool ReadBitmapHeader(FileWindow& window, BitmapHeader& h) {
  const uint8_t* p = window.At(0, kBmpFileHeader + 4);
  if (!p) return false;
  h.fileSize = Le32(p + 2);
  h.dataOffset = Le32(p + 10);
  h.headerSize = Le32(p + 14);
  if (!IsDibHeaderSize(h.headerSize)) return false;
  p = window.At(0, kBmpFileHeader + h.headerSize);
  if (!p) return false;
  const uint8_t* dib = p + kBmpFileHeader;
  if (h.headerSize == kCoreHeader) {
    h.width = Le16(dib + 4);
    h.height = Le16(dib + 6);
    h.planes = Le16(dib + 8);
    h.bitsPerPixel = Le16(dib + 10);
    return true;
  }
  h.width = static_cast<int32_t>(Le32(dib + 4));
  h.height = static_cast<int32_t>(Le32(dib + 8));
  h.planes = Le16(dib + 12);
  h.bitsPerPixel = Le16(dib + 14);
  h.compression = Le32(dib + 16);
  h.imageBytes = Le32(dib + 20);
  if (h.headerSize == kV5Header && Le32(dib + 116) != 0)
    h.profileEnd = kBmpFileHeader + uint64_t{Le32(dib + 112)} + Le32(dib + 116);
  return true;
}

bool IsPixelDepth(uint32_t bits) {
  for (uint32_t known : {1u, 4u, 8u, 16u, 24u, 32u})
    if (bits == known) return true;
  return false;
}

// Where the picture's data ends by its header and dimensions; 0 when they
// do not hold together.
uint64_t BitmapDataEnd(const BitmapHeader& h) {
  if (h.planes != 1 || h.width <= 0 || h.width > kMaxBmpSide || h.height == 0 ||
      h.height > kMaxBmpSide || h.height < -kMaxBmpSide || !IsPixelDepth(h.bitsPerPixel) ||
      h.dataOffset < kBmpFileHeader + h.headerSize)
    return 0;
  uint64_t rows = static_cast<uint64_t>(h.height < 0 ? -h.height : h.height);
  uint64_t pixels = 0;
  if (h.compression == kRgb || h.compression == kBitFields || h.compression == kAlphaBitFields) {
    uint64_t rowBytes = (static_cast<uint64_t>(h.width) * h.bitsPerPixel + 31) / 32 * 4;
    pixels = rowBytes * rows;
  } else if (h.compression == kRle8 || h.compression == kRle4) {
    pixels = h.imageBytes;
  } else {
    return 0;
  }
  if (pixels == 0) return 0;
  return std::max(h.dataOffset + pixels, h.profileEnd);
}

}  // namespace

bool WalkPng(FileWindow& window, uint64_t& size) {
  uint64_t at = kPngSignatureBytes;
  for (bool first = true;; first = false) {
    const uint8_t* chunk = window.At(at, 8);
    if (!chunk || !IsChunkType(chunk + 4)) return false;
    uint32_t length = Be32(chunk);
    if (length > kMaxChunkData || (first && !HasText(chunk + 4, "IHDR"))) return false;
    bool last = HasText(chunk + 4, "IEND");
    at += 12 + uint64_t{length};
    if (last) {
      const uint8_t* crc = window.At(at - 4, 4);
      if (length != 0 || !crc || !HasBytes(crc, kIendCrc)) return false;
      size = at;
      return true;
    }
  }
}

bool WalkGif(FileWindow& window, uint64_t& size) {
  const uint8_t* header = window.At(0, kGifHeaderBytes);
  if (!header) return false;
  uint64_t at = kGifHeaderBytes + ColorTableBytes(header[10]);
  bool pictured = false;
  for (;;) {
    const uint8_t* block = window.At(at, 1);
    if (!block) return false;
    uint8_t introducer = *block;
    if (introducer == kGifTrailer) {
      size = at + 1;
      return pictured;
    }
    if (introducer == kGifExtension) {
      at = SkipSubBlocks(window, at + 2);
    } else if (introducer == kGifImage) {
      const uint8_t* descriptor = window.At(at, 10);
      if (!descriptor) return false;
      // The colour table, then the LZW code size byte, then the data.
      at = SkipSubBlocks(window, at + 10 + ColorTableBytes(descriptor[9]) + 1);
      pictured = true;
    } else {
      return false;
    }
    if (at == kNotFound) return false;
  }
}

// A size field that agrees with the header and dimensions is the size; one
// that does not (some writers leave it 0) gives way to what they say.
bool WalkBitmap(FileWindow& window, uint64_t& size) {
  BitmapHeader header;
  if (!ReadBitmapHeader(window, header)) return false;
  uint64_t end = BitmapDataEnd(header);
  if (end == 0) return false;
  bool agrees = header.fileSize >= end && header.fileSize - end <= kBmpSlack;
  size = agrees ? header.fileSize : end;
  return true;
}

}  // namespace salvora
