// TIFF files, and the camera raw pictures built on TIFF, which cameras
// write with a plain TIFF header: Canon's CR2 marks itself right after the
// header, a DNG names its version in the first directory, and Nikon's NEF
// and Sony's ARW name their maker there. Olympus's ORF has a header of
// its own.
#include <algorithm>
#include <cstring>

#include "carving/ByteOrder.h"
#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"

namespace salvora {
namespace {

const uint8_t kTiffBig[] = {'M', 'M', 0x00, 0x2A};
const uint8_t kTiffLittle[] = {'I', 'I', 0x2A, 0x00};
const uint8_t kCanonRaw2[] = {'C', 'R', 0x02};

// Cameras put the first directory and the maker's name near the start;
// classifying reads no further than this.
constexpr uint32_t kClassifiedBytes = 4096;
constexpr uint32_t kEntryBytes = 12;
constexpr uint16_t kMakeTag = 271;
constexpr uint16_t kDngVersionTag = 50706;
constexpr uint16_t kAsciiType = 2;

struct TiffBytes {
  const uint8_t* bytes;
  uint32_t count;
  bool bigEndian;
  uint16_t U16(uint32_t at) const { return bigEndian ? Be16(bytes + at) : Le16(bytes + at); }
  uint32_t U32(uint32_t at) const { return bigEndian ? Be32(bytes + at) : Le32(bytes + at); }
};

// The first bytes of the file: the sector itself when the first directory
// lies in it, otherwise up to kClassifiedBytes read from the disk.
const uint8_t* ClassifiedBytes(CarveContext& context, const uint8_t* bytes, uint32_t& count,
                               uint32_t firstDirectory) {
  if (firstDirectory + 2 <= count || !context.source || !context.SectorSizeUsable())
    return bytes;
  if (firstDirectory >= kClassifiedBytes) return bytes;
  uint32_t sectors = std::max<uint32_t>(kClassifiedBytes / context.SectorBytes(), 1);
  sectors = static_cast<uint32_t>(
      std::min<uint64_t>(sectors, context.SectorsLeftFrom(context.cursorSector)));
  const uint8_t* read =
      sectors == 0 ? nullptr : context.ReadView(context.cursorSector, sectors, context.ProbeBuffer());
  if (!read) return bytes;
  count = sectors * context.SectorBytes();
  return read;
}

bool MakeStarts(const TiffBytes& tiff, uint32_t entry, const char* maker) {
  uint32_t length = tiff.U32(entry + 4);
  uint32_t at = length <= 4 ? entry + 8 : tiff.U32(entry + 8);
  size_t makerLength = std::strlen(maker);
  if (tiff.U16(entry + 2) != kAsciiType || length < makerLength || at > tiff.count ||
      tiff.count - at < makerLength)
    return false;
  return std::memcmp(tiff.bytes + at, maker, makerLength) == 0;
}

int RawKindOfDirectory(const TiffBytes& tiff, uint32_t directory) {
  if (uint64_t{directory} + 2 > tiff.count) return kTypeTiff;
  uint32_t entries = tiff.U16(directory);
  int kind = kTypeTiff;
  for (uint32_t i = 0; i < entries; ++i) {
    uint64_t entry = uint64_t{directory} + 2 + uint64_t{i} * kEntryBytes;
    if (entry + kEntryBytes > tiff.count) break;
    uint16_t tag = tiff.U16(static_cast<uint32_t>(entry));
    if (tag == kDngVersionTag) return kTypeDng;  // a DNG names its maker too
    if (tag != kMakeTag) continue;
    if (MakeStarts(tiff, static_cast<uint32_t>(entry), "NIKON")) kind = kTypeNef;
    if (MakeStarts(tiff, static_cast<uint32_t>(entry), "SONY")) kind = kTypeArw;
  }
  return kind;
}

}  // namespace

int DetectTiff(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 4) return kTypeNone;
  bool bigEndian = HasBytes(bytes, kTiffBig);
  if (!bigEndian && !HasBytes(bytes, kTiffLittle)) return kTypeNone;
  if (count < 8) return kTypeTiff;
  if (!bigEndian && count >= 11 && HasBytes(bytes + 8, kCanonRaw2)) return kTypeCr2;
  uint32_t firstDirectory = bigEndian ? Be32(bytes + 4) : Le32(bytes + 4);
  uint32_t available = count;
  const uint8_t* head = ClassifiedBytes(context, bytes, available, firstDirectory);
  return RawKindOfDirectory({head, available, bigEndian}, firstDirectory);
}

// Olympus writes "RO" (or "RS") where TIFF has its 42.
int DetectOrf(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 8) return kTypeNone;
  bool little = HasText(bytes, "IIRO") || HasText(bytes, "IIRS");
  return little || HasText(bytes, "MMOR") ? kTypeOrf : kTypeNone;
}

}  // namespace salvora
