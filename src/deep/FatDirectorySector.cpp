#include "deep/FatDirectorySector.h"

#include <cstring>

#include "fat/FatDirEntry.h"

namespace salvora {
namespace {

constexpr int kMaxLongNameParts = 18;

enum class Verdict { kGoOn, kPass, kFail };

// A free entry ends the directory: only zeros may follow it, and a sector
// that starts with one holds no directory at all.
Verdict FreeEntry(const uint8_t* sector, uint32_t at, uint32_t end) {
  if (at == 0) return Verdict::kFail;
  for (uint32_t i = at; i < end; ++i)
    if (sector[i] != 0) return Verdict::kFail;
  return Verdict::kPass;
}

const uint8_t* NextSlot(const uint8_t* sector, uint32_t at, uint32_t end) {
  return at + 2 * kDirEntryBytes <= end ? sector + at + kDirEntryBytes : nullptr;
}

// A space inside the 8-byte name or the 3-byte extension followed by text.
bool SpaceInsideName(const uint8_t* name) {
  auto broken = [](const uint8_t* part, int length) {
    for (int i = 0; i + 1 < length; ++i)
      if (part[i] == ' ' && part[i + 1] != ' ') return true;
    return false;
  };
  return broken(name, 8) || broken(name + 8, 3);
}

// High bytes of the name come in double-byte pairs.
bool UnpairedHighByte(const FatDirEntry& e) {
  for (int i = IsDeletedEntry(e) ? 1 : 0; i <= 9; ++i) {
    if (e.name[i] < 0x80) continue;
    if (e.name[i + 1] < 0x80) return true;
    ++i;
  }
  return false;
}

bool ShortEntryFits(const FatDirEntry& e) {
  bool created = FatTimeToFileTime(e.createDate, e.createTime, e.createTenMs) != 0;
  if (!created && e.attributes != kAttrVolumeLabel) return false;
  for (int i = IsDeletedEntry(e) ? 1 : 0; i < 11; ++i)
    if (e.name[i] < 0x20 || e.name[i] == '.') return false;
  return !SpaceInsideName(e.name) && !UnpairedHighByte(e);
}

// The entries after a long-name entry up to the short entry they name; `at`
// moves to that short entry.
Verdict LongNameGroup(const uint8_t* sector, uint32_t& at, uint32_t end) {
  uint8_t checksum = LoadDirEntry(sector + at).createTenMs;
  for (int part = 0; part < kMaxLongNameParts && at + 2 * kDirEntryBytes <= end; ++part) {
    at += kDirEntryBytes;
    FatDirEntry e = LoadDirEntry(sector + at);
    if (IsEndOfDirectory(e)) return FreeEntry(sector, at, end);
    if (!IsValidDirEntry(sector + at, NextSlot(sector, at, end))) return Verdict::kFail;
    if (IsLongNameEntry(e)) {
      if (e.createTenMs != checksum) return Verdict::kFail;
      continue;
    }
    bool belongs = IsDeletedEntry(e) || ShortNameChecksum(e.name) == checksum;
    return belongs ? Verdict::kGoOn : Verdict::kFail;
  }
  return Verdict::kGoOn;
}

Verdict CheckSlot(const uint8_t* sector, uint32_t& at, uint32_t end) {
  const uint8_t* slot = sector + at;
  FatDirEntry e = LoadDirEntry(slot);
  if (IsEndOfDirectory(e)) return FreeEntry(sector, at, end);
  if (!IsValidDirEntry(slot, NextSlot(sector, at, end))) return Verdict::kFail;
  // Both halves of the slot alike: a fill pattern, not an entry.
  if (std::memcmp(slot + 1, slot + 17, 14) == 0) return Verdict::kFail;
  if (IsLongNameEntry(e)) return LongNameGroup(sector, at, end);
  return ShortEntryFits(e) ? Verdict::kGoOn : Verdict::kFail;
}

}  // namespace

bool IsFatDirectorySector(const uint8_t* sector, uint32_t sectorBytes) {
  if (!sector) return false;
  if (sectorBytes < kDirEntryBytes) return true;
  // The deep scan asks this of every sector, and nearly all fail at their
  // first slot: a free one, or one with attribute bits no entry has (only
  // a "." entry, which opens a folder, is not held to them).
  if (sector[0] == 0 || (sector[0] != '.' && (sector[11] & kAttrUnused) != 0)) return false;
  uint32_t end = sectorBytes / kDirEntryBytes * kDirEntryBytes;
  for (uint32_t at = 0; at < end; at += kDirEntryBytes) {
    Verdict verdict = CheckSlot(sector, at, end);
    if (verdict != Verdict::kGoOn) return verdict == Verdict::kPass;
  }
  return true;
}

}  // namespace salvora
