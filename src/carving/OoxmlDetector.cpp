// An OOXML package is a ZIP archive whose member names begin with word/,
// ppt/ or xl/. The first twenty sectors are searched for local and central
// headers; anything not classified there is left to the plain ZIP row.
#include <cstring>

#include "carving/ByteOrder.h"
#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"
#include "carving/PatternSearch.h"

namespace salvora {
namespace {

const uint8_t kLocalHeader[] = {'P', 'K', 0x03, 0x04};
const uint8_t kCentralHeader[] = {'P', 'K', 0x01, 0x02};
const uint8_t kEndRecord[] = {'P', 'K', 0x05, 0x06};

constexpr uint32_t kContentTypesOffset = 31;
constexpr uint32_t kLocalNameOffset = 30;
constexpr uint32_t kCentralNameOffset = 46;
constexpr uint32_t kCentralMinimumTail = 47;
constexpr uint32_t kSectorsPerRead = 4;
constexpr int kReads = 5;
constexpr uint32_t kKeptBytes = 4;

bool StartsWithFolded(const uint8_t* name, const char* prefix) {
  for (; *prefix; ++prefix, ++name) {
    uint8_t c = *name;
    if (c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c - 'A' + 'a');
    if (c != static_cast<uint8_t>(*prefix)) return false;
  }
  return true;
}

int ClassifyMemberName(const uint8_t* buffer, size_t length, size_t nameAt) {
  if (nameAt >= length) return kTypeNone;
  size_t remaining = length - nameAt;
  const uint8_t* name = buffer + nameAt;
  if (remaining > 4 && StartsWithFolded(name, "word")) return kTypeOoxmlWord;
  if (remaining > 3 && StartsWithFolded(name, "ppt")) return kTypeOoxmlSlides;
  if (remaining >= 3 && StartsWithFolded(name, "xl")) return kTypeOoxmlSheet;
  return kTypeNone;
}

// One direction of the search: the next header of one kind before the end
// record, with its name offset.
struct HeaderWalk {
  const uint8_t* signature;
  size_t nameOffset;
  size_t minimumTail;  // bytes that must remain after the signature
  size_t position = 0;
  bool active = true;

  int Step(const uint8_t* buffer, size_t length, size_t endRecord) {
    size_t found = FindForward(buffer + position, length - position, signature, 4);
    if (found == kNoMatch) return active = false, kTypeNone;
    found += position;
    if (found >= endRecord || length - found <= minimumTail) return active = false, kTypeNone;
    position = found + 4;
    return ClassifyMemberName(buffer, length, found + nameOffset);
  }
};

int ClassifyBuffer(const uint8_t* buffer, size_t length) {
  size_t endRecord = FindForward(buffer, length, kEndRecord, 4);
  if (endRecord == kNoMatch) endRecord = length;
  HeaderWalk local{kLocalHeader, kLocalNameOffset, 0};
  HeaderWalk central{kCentralHeader, kCentralNameOffset, kCentralMinimumTail};
  while (local.active || central.active) {
    if (local.active) {
      int type = local.Step(buffer, length, endRecord);
      if (type != kTypeNone) return type;
    }
    if (central.active) {
      int type = central.Step(buffer, length, endRecord);
      if (type != kTypeNone) return type;
    }
  }
  return kTypeNone;
}

}  // namespace

int DetectOoxml(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < kContentTypesOffset) return kTypeNone;
  bool zipStart = std::memcmp(bytes, kLocalHeader, 4) == 0;
  bool contentTypes = count >= kContentTypesOffset + 19 &&
                      HasText(bytes + kContentTypesOffset, "[Content_Types].xml");
  if (!zipStart && !contentTypes) return kTypeNone;
  if (!context.SectorSizeUsable()) return kTypeNone;
  uint8_t* probe = context.ProbeBuffer();
  uint32_t readBytes = kSectorsPerRead * context.SectorBytes();
  size_t kept = 0;
  for (int read = 0; read < kReads; ++read) {
    uint64_t sector = context.cursorSector + static_cast<uint64_t>(read) * kSectorsPerRead;
    if (!context.ReadExact(sector, kSectorsPerRead, probe + kept)) return kTypeNone;
    size_t length = kept + readBytes;
    int type = ClassifyBuffer(probe, length);
    if (type != kTypeNone) return type;
    kept = length < kKeptBytes ? length : kKeptBytes;
    std::memmove(probe, probe + length - kept, kept);
  }
  return kTypeNone;
}

}  // namespace salvora
