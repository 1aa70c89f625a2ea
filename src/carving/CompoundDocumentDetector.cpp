// A compound file is one of the office formats when its second sector opens
// a word-processor or workbook stream, when its root entry carries the class
// of one of them, or when a directory entry names its main stream. Anything
// else, including a file whose sectors cannot be read, is a plain one.
#include "carving/ByteOrder.h"
#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"

namespace salvora {
namespace {

const uint8_t kCompoundSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const uint8_t kWordClass[] = {0x06, 0x09, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                              0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const uint8_t kSheetClass[] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const uint8_t kSheetClassOld[] = {0x10, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
const uint8_t kSlidesClass[] = {0x10, 0x8D, 0x81, 0x64, 0x9B, 0x4F, 0xCF, 0x11,
                                0x86, 0xEA, 0x00, 0xAA, 0x00, 0xB9, 0x29, 0xE8};

constexpr uint32_t kFirstDirectorySectorField = 48;
constexpr uint32_t kRootClassOffset = 80;
constexpr uint32_t kDirectoryEntryBytes = 128;

struct StreamName {
  const char* text;
  uint32_t length;
  int type;
};
const StreamName kMainStreams[] = {
    {"WordDocument", 12, kTypeWordCompound},
    {"Workbook", 8, kTypeSheetCompound},
    {"PowerPoint Document", 19, kTypeSlideCompound},
};

char FoldCase(uint16_t unit) {
  if (unit >= 'A' && unit <= 'Z') return static_cast<char>(unit - 'A' + 'a');
  return unit < 0x80 ? static_cast<char>(unit) : '\0';
}

// The entry's UTF-16 name starts with `name`, ignoring case.
bool EntryNameStartsWith(const uint8_t* entry, const StreamName& name) {
  for (uint32_t i = 0; i < name.length; ++i) {
    uint16_t unit = Le16(entry + 2 * i);
    if (unit >= 0x80 || FoldCase(unit) != FoldCase(static_cast<uint8_t>(name.text[i])))
      return false;
  }
  return true;
}

int ClassifyStreamHeader(const uint8_t* sector) {
  if (Le16(sector) == 0xA5EC) return kTypeWordCompound;
  if (Le16(sector) == 0x0809 && Le16(sector + 2) == 0x0010 && Le16(sector + 4) == 0x0600)
    return kTypeSheetCompound;
  return kTypeNone;
}

int ClassifyDirectorySector(const uint8_t* sector, uint32_t sectorBytes) {
  const uint8_t* rootClass = sector + kRootClassOffset;
  if (HasBytes(rootClass, kWordClass)) return kTypeWordCompound;
  if (HasBytes(rootClass, kSheetClass) || HasBytes(rootClass, kSheetClassOld))
    return kTypeSheetCompound;
  if (HasBytes(rootClass, kSlidesClass)) return kTypeSlideCompound;
  for (uint32_t at = 0; at + kDirectoryEntryBytes <= sectorBytes; at += kDirectoryEntryBytes) {
    for (const StreamName& name : kMainStreams)
      if (EntryNameStartsWith(sector + at, name)) return name.type;
  }
  return kTypeOtherCompound;
}

}  // namespace

int DetectCompoundDocument(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 8 || !HasBytes(bytes, kCompoundSignature)) return kTypeNone;
  // Too short a header or a sector too small for a root entry cannot be
  // classified: it stays a plain compound file.
  if (count < kFirstDirectorySectorField + 4 || !context.SectorSizeUsable() ||
      context.SectorBytes() < kRootClassOffset + 16)
    return kTypeOtherCompound;
  uint8_t* probe = context.ProbeBuffer();
  if (!context.ReadExact(context.cursorSector + 1, 1, probe)) return kTypeOtherCompound;
  int byStream = ClassifyStreamHeader(probe);
  if (byStream != kTypeNone) return byStream;
  uint64_t directory = Le32(bytes + kFirstDirectorySectorField);
  if (!context.ReadExact(context.cursorSector + directory + 1, 1, probe)) return kTypeOtherCompound;
  return ClassifyDirectorySector(probe, context.SectorBytes());
}

}  // namespace salvora
