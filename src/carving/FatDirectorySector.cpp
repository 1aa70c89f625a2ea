#include "carving/FatDirectorySector.h"

#include "carving/ByteOrder.h"
#include "platform/Clock.h"

namespace salvora {
namespace {

constexpr uint32_t kEntryBytes = 32;
constexpr uint8_t kDeletedMark = 0xE5;
constexpr uint8_t kLongName = 0x0F;
constexpr uint8_t kVolumeLabel = 0x08;
constexpr uint8_t kDirectory = 0x10;
constexpr uint8_t kArchive = 0x20;
constexpr int kMaxLongNameParts = 18;

struct Entry {
  const uint8_t* bytes;
  uint8_t first() const { return bytes[0]; }
  uint8_t attributes() const { return bytes[11]; }
  uint32_t size() const { return Le32(bytes + 28); }
  uint16_t clusterHigh() const { return Le16(bytes + 20); }
  uint16_t clusterLow() const { return Le16(bytes + 26); }
  bool deleted() const { return first() == kDeletedMark; }
  bool isLongName() const { return attributes() == kLongName; }
  bool isDirectory() const { return (attributes() & kDirectory) != 0; }
};

// FILETIME of a FAT date and time, 0 when they name no real moment.
uint64_t FatTime(uint16_t date, uint16_t time, int hundredths) {
  if (hundredths > 199) return 0;
  int seconds = (time & 0x1F) * 2 + hundredths / 100;
  int minutes = (time >> 5) & 0x3F;
  int hours = time >> 11;
  if (seconds > 59 || minutes > 59 || hours > 23) return 0;
  return FileTimeFromCalendar(1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F, hours, minutes,
                              seconds, (hundredths % 100) * 100000);
}

bool InPlausibleYears(uint64_t fileTime) {
  static const uint64_t kEarliest = FileTimeFromCalendar(1990, 1, 1, 0, 0, 0);
  static const uint64_t kLatest = FileTimeFromCalendar(2050, 1, 1, 0, 0, 0);
  return fileTime != 0 && fileTime >= kEarliest && fileTime <= kLatest;
}

bool TimesPlausible(const Entry& e) {
  const uint8_t* b = e.bytes;
  return InPlausibleYears(FatTime(Le16(b + 16), Le16(b + 14), b[13])) &&
         InPlausibleYears(FatTime(Le16(b + 18), 0, 0)) &&
         InPlausibleYears(FatTime(Le16(b + 24), Le16(b + 22), 0));
}

bool NameBytesAllowed(const Entry& e) {
  for (int i = 0; i < 11; ++i) {
    uint8_t c = e.bytes[i];
    if (c < 0x20 || (c >= 'a' && c <= 'z')) return false;
    switch (c) {
      case '"':
      case '*':
      case '.':
      case ':':
      case '<':
      case '>':
      case '?':
      case '\\':
      case '|':
        return false;
      default:
        break;
    }
  }
  return true;
}

bool StartsDotPair(const Entry& e, const uint8_t* next) {
  if (!next || e.first() != '.' || !e.isDirectory() || e.size() != 0) return false;
  Entry n{next};
  return next[0] == '.' && next[1] == '.' && n.isDirectory() && n.size() == 0;
}

// The plausibility test every directory entry passes before it is used.
bool EntryValid(const Entry& e, const uint8_t* next) {
  if (StartsDotPair(e, next)) return true;
  uint8_t attr = e.attributes();
  bool hasCluster = e.clusterHigh() != 0 || e.clusterLow() != 0;
  if (!e.isDirectory() && e.size() == 0 && hasCluster) return false;
  if (attr == kVolumeLabel && (e.size() != 0 || hasCluster)) return false;
  if ((attr & kVolumeLabel) && attr != kVolumeLabel && attr != kLongName) return false;
  if ((attr & 0x11) == 0x11 || attr >= 0x40) return false;
  if (e.isLongName() && !e.deleted() && (e.first() & ~0x40) > kMaxLongNameParts) return false;
  if (!e.isLongName() && !e.deleted() && !e.isDirectory() && !TimesPlausible(e)) return false;
  if (attr != kVolumeLabel && !e.isLongName() && !NameBytesAllowed(e)) return false;
  if (!e.deleted() && e.isDirectory() && e.size() != 0) return false;
  if (e.isLongName() && e.clusterLow() != 0) return false;
  return attr == kVolumeLabel || attr == kLongName || (attr & (kDirectory | kArchive)) != 0;
}

uint8_t ShortNameChecksum(const uint8_t* name) {
  uint8_t sum = 0;
  for (int i = 0; i < 11; ++i) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + name[i]);
  return sum;
}

bool ZerosFrom(const uint8_t* sector, uint32_t from, uint32_t end) {
  for (uint32_t i = from; i < end; ++i)
    if (sector[i] != 0) return false;
  return true;
}

// A space inside the 8-byte name or 3-byte extension followed by more text.
bool SpaceInsideName(const uint8_t* b) {
  auto broken = [](const uint8_t* part, int length) {
    for (int i = 0; i + 1 < length; ++i)
      if (part[i] == ' ' && part[i + 1] != ' ') return true;
    return false;
  };
  return broken(b, 8) || broken(b + 8, 3);
}

// High bytes in the name come in double-byte pairs.
bool UnpairedHighByte(const Entry& e) {
  for (int i = e.deleted() ? 1 : 0; i <= 9; ++i) {
    if (e.bytes[i] < 0x80) continue;
    if (e.bytes[i + 1] < 0x80) return true;
    ++i;
  }
  return false;
}

bool ShortEntryFits(const Entry& e) {
  const uint8_t* b = e.bytes;
  bool creationValid = FatTime(Le16(b + 16), Le16(b + 14), b[13]) != 0;
  if (!creationValid && e.attributes() != kVolumeLabel) return false;
  for (int i = e.deleted() ? 1 : 0; i < 11; ++i)
    if (b[i] < 0x20 || b[i] == '.') return false;
  return !SpaceInsideName(b) && !UnpairedHighByte(e);
}

enum class Verdict { kGoOn, kPass, kFail };

// Entry at `at` starts with 0: the rest of the sector decides.
Verdict FreeEntry(const uint8_t* sector, uint32_t at, uint32_t end) {
  if (at == 0) return Verdict::kFail;
  return ZerosFrom(sector, at, end) ? Verdict::kPass : Verdict::kFail;
}

const uint8_t* NextEntry(const uint8_t* sector, uint32_t at, uint32_t end) {
  return at + 2 * kEntryBytes <= end ? sector + at + kEntryBytes : nullptr;
}

// A long-name group from `at`: the entries after it up to its short entry.
// Moves `at` to the short entry that closes it, or past the group.
Verdict LongNameGroup(const uint8_t* sector, uint32_t& at, uint32_t end) {
  uint8_t checksum = sector[at + 13];
  for (int part = 0; part < kMaxLongNameParts && at + 2 * kEntryBytes <= end; ++part) {
    at += kEntryBytes;
    Entry e{sector + at};
    if (e.first() == 0) return FreeEntry(sector, at, end);
    if (!EntryValid(e, NextEntry(sector, at, end))) return Verdict::kFail;
    if (e.isLongName()) {
      if (sector[at + 13] != checksum) return Verdict::kFail;
      continue;
    }
    if (!e.deleted() && ShortNameChecksum(e.bytes) != checksum) return Verdict::kFail;
    return Verdict::kGoOn;
  }
  return Verdict::kGoOn;
}

Verdict CheckEntry(const uint8_t* sector, uint32_t& at, uint32_t end) {
  Entry e{sector + at};
  if (e.first() == 0) return FreeEntry(sector, at, end);
  if (!EntryValid(e, NextEntry(sector, at, end))) return Verdict::kFail;
  if (std::memcmp(e.bytes + 1, e.bytes + 17, 14) == 0) return Verdict::kFail;
  if (e.isLongName()) return LongNameGroup(sector, at, end);
  return ShortEntryFits(e) ? Verdict::kGoOn : Verdict::kFail;
}

}  // namespace

bool IsFatDirectorySector(const uint8_t* sector, uint32_t sectorBytes) {
  if (!sector) return false;
  if (sectorBytes < kEntryBytes) return true;
  uint32_t end = sectorBytes / kEntryBytes * kEntryBytes;
  for (uint32_t at = 0; at < end; at += kEntryBytes) {
    Verdict verdict = CheckEntry(sector, at, end);
    if (verdict != Verdict::kGoOn) return verdict == Verdict::kPass;
  }
  return true;
}

}  // namespace salvora
