// Formats whose first sector states the file's size.
#include <algorithm>

#include "carving/ByteOrder.h"
#include "carving/MeasureRules.h"
#include "carving/PatternSearch.h"

namespace salvora {
namespace {

const uint8_t kFilePropertiesId[] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                     0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint32_t kAsfSearchStart = 30;
constexpr uint32_t kAsfFileSizeAt = 40;
constexpr uint32_t kAsfFlagsAt = 88;

uint64_t OneSector(const CarveContext& context) {
  return static_cast<uint64_t>(context.sectorSize);
}

// The directory of a font or an icon may not fit the recognised sector; then
// the first 64 KiB of the file are read instead (or what of it the source
// still holds). Null on a read error.
const uint8_t* DirectoryBytes(CarveContext& context, const uint8_t* bytes, uint32_t count,
                              uint64_t needed, uint32_t& available) {
  available = count;
  if (needed <= count) return bytes;
  if (!context.SectorSizeUsable()) return nullptr;
  uint32_t sectors = static_cast<uint32_t>(std::min<uint64_t>(
      kScanBufferBytes / context.SectorBytes(), context.SectorsLeftFrom(context.fileStartSector)));
  uint8_t* buffer = context.ScanBuffer();
  if (!context.ReadExact(context.fileStartSector, sectors, buffer)) return nullptr;
  available = sectors * context.SectorBytes();
  return buffer;
}

}  // namespace

// The chunk size of the RIFF header plus the header itself.
uint64_t MeasureRiff(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 8) return count;
  return uint64_t{Le32(bytes + 4)} + 8;
}

uint64_t MeasureBitmap(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 6) return OneSector(context);
  return std::min<uint64_t>(Le32(bytes + 2), k128MiB);
}

// Only an uncompressed movie states its length.
uint64_t MeasureFlash(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 8 || bytes[0] != 'F') return OneSector(context);
  return std::min<uint64_t>(Le32(bytes + 4), k256MiB);
}

// The file-properties object states the size unless the file is a live
// broadcast.
uint64_t MeasureAsf(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count <= kAsfSearchStart) return OneSector(context);
  size_t at = FindForward(bytes + kAsfSearchStart, count - kAsfSearchStart, kFilePropertiesId,
                          sizeof(kFilePropertiesId));
  if (at == kNoMatch) return OneSector(context);
  at += kAsfSearchStart;
  if (at + kAsfFlagsAt + 4 > count || (Le32(bytes + at + kAsfFlagsAt) & 1) != 0)
    return OneSector(context);
  return std::min<uint64_t>(Le64(bytes + at + kAsfFileSizeAt), k256MiB);
}

uint64_t MeasureCabinet(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 36) return OneSector(context);
  return std::min<uint64_t>(Le32(bytes + 8), k1GiB);
}

// The end of the table that reaches furthest.
uint64_t MeasureFont(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 6) return OneSector(context);
  uint32_t tables = Be16(bytes + 4);
  if (tables == 0) return 0;
  uint32_t available = 0;
  const uint8_t* directory = DirectoryBytes(context, bytes, count, 16ull * tables + 12, available);
  if (!directory) return OneSector(context);
  uint64_t end = 0;
  for (uint32_t i = 0; i < tables && 12 + 16ull * i + 16 <= available; ++i) {
    const uint8_t* entry = directory + 12 + 16 * i;
    end = std::max<uint64_t>(end, uint64_t{Be32(entry + 8)} + Be32(entry + 12));
  }
  // Tables are padded to four bytes, the last one too.
  return (end + 3) / 4 * 4;
}

// The last image's offset plus its size.
uint64_t MeasureIcon(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 6) return OneSector(context);
  uint32_t images = Le16(bytes + 4);
  uint32_t available = 0;
  const uint8_t* directory = DirectoryBytes(context, bytes, count, 16ull * images + 6, available);
  if (!directory) return OneSector(context);
  if (images == 0 || 6 + 16ull * images > available) return OneSector(context);
  const uint8_t* last = directory + 6 + 16 * (images - 1);
  return uint64_t{Le32(last + 12)} + Le32(last + 8);
}

}  // namespace salvora
