#include "carving/ByteOrder.h"
#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"

namespace salvora {
namespace {

const uint8_t kJfif[] = {0xFF, 0xD8, 0xFF, 0xE0};
const uint8_t kExif[] = {0xFF, 0xD8, 0xFF, 0xE1};
const uint8_t kPng[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
const uint8_t kIconStart[] = {0x00, 0x00, 0x01, 0x00};

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

}  // namespace

int DetectGif(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 8 || !HasText(bytes, "GIF")) return kTypeNone;
  bool lowerLetter = bytes[5] >= 'a' && bytes[5] <= 'z';
  return IsDigit(bytes[3]) && IsDigit(bytes[4]) && lowerLetter ? kTypeGif : kTypeNone;
}

// Besides the classic 40-byte header, the later ones (V4, V5, with 32-bit
// pixels and colour spaces) and the OS/2 ones.
bool IsBitmapHeaderSize(uint32_t size) {
  for (uint32_t known : {40u, 12u, 52u, 56u, 64u, 108u, 124u})
    if (size == known) return true;
  return false;
}

int DetectBitmap(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 40) return kTypeNone;
  if (!HasText(bytes, "BM") && !HasText(bytes, "BA")) return kTypeNone;
  return Le16(bytes + 6) == 0 && Le16(bytes + 8) == 0 && IsBitmapHeaderSize(Le32(bytes + 14))
             ? kTypeBitmap
             : kTypeNone;
}

int DetectJpeg(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16) return kTypeNone;
  if (HasBytes(bytes, kJfif) && HasText(bytes + 6, "JFIF")) return kTypeJpeg;
  if (HasBytes(bytes, kExif) && HasText(bytes + 6, "Exif")) return kTypeJpeg;
  return kTypeNone;
}

// Start of image, then a quantisation or Huffman table, a frame, a restart
// interval, any application block or a comment, with a plausible length.
int DetectJpegOther(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF)
    return kTypeNone;
  const uint8_t marker = bytes[3];
  bool opens = marker == 0xDB || marker == 0xC4 || marker == 0xDD || marker == 0xFE ||
               (marker >= 0xC0 && marker <= 0xC2) || (marker >= 0xE0 && marker <= 0xEF);
  return opens && Be16(bytes + 4) >= 2 ? kTypeJpeg : kTypeNone;
}

int DetectPng(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 8 && HasBytes(bytes, kPng) ? kTypePng : kTypeNone;
}

int DetectPhotoshop(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 40 && HasText(bytes, "8BPS") ? kTypePhotoshop : kTypeNone;
}

// The directory must lie in the sector and its images must follow it back
// to back in directory order.
int DetectIcon(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16 || !HasBytes(bytes, kIconStart)) return kTypeNone;
  uint32_t images = Le16(bytes + 4);
  uint64_t directoryEnd = 6 + 16ull * images;
  if (images == 0 || directoryEnd > count) return kTypeNone;
  uint64_t expectedOffset = directoryEnd;
  for (uint32_t i = 0; i < images; ++i) {
    const uint8_t* entry = bytes + 6 + 16 * i;
    if (entry[3] != 0 || Le32(entry + 12) != expectedOffset) return kTypeNone;
    expectedOffset += Le32(entry + 8);
  }
  return kTypeIcon;
}

// A RIFF container of WebP: its first chunk is a VP8 bitstream, a lossless
// VP8L one or the extended VP8X header.
int DetectWebp(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16) return kTypeNone;
  return HasText(bytes, "RIFF") && HasText(bytes + 8, "WEBPVP8") ? kTypeWebp : kTypeNone;
}

}  // namespace salvora
