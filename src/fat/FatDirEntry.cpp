#include "fat/FatDirEntry.h"

#include <cstring>

#include "fat/FatText.h"
#include "platform/Clock.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

// Real sequence numbers end at 20: 20 parts of 13 characters hold the
// longest name FAT allows.
constexpr uint8_t kLongNameLastFlag = 0x40;
constexpr uint8_t kMaxLongNameSequence = 20;
// The first name byte 0x05 stands for a real 0xE5 character.
constexpr uint8_t kKanjiEscape = 0x05;

// Entries dated outside this span are not believed. It opens with FAT's own
// first day: cameras without a clock date every file 1980-01-01.
const uint64_t kEarliestTime = FileTimeFromCalendar(1980, 1, 1, 0, 0, 0);
const uint64_t kLatestTime = FileTimeFromCalendar(2050, 1, 1, 0, 0, 0);

bool IsNamed(const FatDirEntry& e, const char* prefix) {
  return std::memcmp(e.name, prefix, std::strlen(prefix)) == 0;
}

bool IsDirectoryWithoutSize(const FatDirEntry& e) {
  return (e.attributes & kAttrDirectory) != 0 && e.fileSize == 0;
}

bool InTrustedSpan(uint64_t fileTime) {
  return fileTime != 0 && fileTime >= kEarliestTime && fileTime <= kLatestTime;
}

// The write time is mandatory; creation time and access date are optional
// in FAT and many writers leave them 0, which is not a sign of garbage.
bool TimesBelievable(const FatDirEntry& e) {
  if (!InTrustedSpan(FatTimeToFileTime(e.writeDate, e.writeTime))) return false;
  bool createSet = e.createDate != 0 || e.createTime != 0 || e.createTenMs != 0;
  if (createSet && !InTrustedSpan(FatTimeToFileTime(e.createDate, e.createTime, e.createTenMs)))
    return false;
  return e.accessDate == 0 || InTrustedSpan(FatTimeToFileTime(e.accessDate, 0));
}

bool NameBytesAllowed(const FatDirEntry& e) {
  static constexpr char kForbidden[] = "\"*.:<>?\\|";
  for (size_t i = 0; i < sizeof e.name; ++i) {
    uint8_t b = e.name[i];
    if (i == 0 && b == kKanjiEscape) continue;
    if (b < 0x20 || (b >= 'a' && b <= 'z')) return false;
    if (b < 0x80 && std::memchr(kForbidden, b, sizeof kForbidden - 1)) return false;
  }
  return true;
}

bool AttributesPossible(const FatDirEntry& e) {
  uint8_t a = e.attributes;
  if (a == kAttrVolumeLabel) {
    if (e.fileSize != 0 || e.clusterHigh != 0 || e.clusterLow != 0) return false;
  } else if ((a & kAttrVolumeLabel) != 0 && a != kAttrLongName) {
    return false;
  }
  if ((a & (kAttrDirectory | kAttrReadOnly)) == (kAttrDirectory | kAttrReadOnly)) return false;
  return (a & kAttrUnused) == 0;
}

bool LongNameSequencePossible(const FatDirEntry& e) {
  if (IsDeletedEntry(e)) return true;
  uint8_t sequence = e.name[0] & static_cast<uint8_t>(~kLongNameLastFlag);
  return sequence >= 1 && sequence <= kMaxLongNameSequence;
}

// A long-name entry keeps its short entry's checksum where a short entry
// keeps its creation hundredths.
uint8_t LongNameChecksum(const FatDirEntry& e) { return e.createTenMs; }

void TrimmedCp437(const uint8_t* bytes, size_t length, std::string& out) {
  while (length > 0 && bytes[length - 1] == ' ') --length;
  AppendCp437(bytes, length, out);
}

}  // namespace

FatDirEntry LoadDirEntry(const uint8_t* bytes) {
  FatDirEntry e;
  std::memcpy(&e, bytes, sizeof e);
  return e;
}

uint32_t EntryCluster(const FatDirEntry& e, bool fat32) {
  uint32_t high = fat32 ? static_cast<uint32_t>(e.clusterHigh) << 16 : 0;
  return high | e.clusterLow;
}

bool StartsWithDotPair(const uint8_t* block, size_t length) {
  if (!block || length < 2 * kDirEntryBytes) return false;
  FatDirEntry dot = LoadDirEntry(block);
  FatDirEntry dotDot = LoadDirEntry(block + kDirEntryBytes);
  return IsNamed(dot, ". ") && (dot.attributes & kAttrDirectory) != 0 && IsNamed(dotDot, "..");
}

bool IsValidDirEntry(const uint8_t* entry, const uint8_t* next) {
  FatDirEntry e = LoadDirEntry(entry);
  if (next && IsNamed(e, ".") && IsDirectoryWithoutSize(e)) {
    FatDirEntry following = LoadDirEntry(next);
    if (IsNamed(following, "..") && IsDirectoryWithoutSize(following)) return true;
  }
  bool directory = (e.attributes & kAttrDirectory) != 0;
  bool longName = e.attributes == kAttrLongName;
  bool label = e.attributes == kAttrVolumeLabel;
  if (!directory && e.fileSize == 0 && (e.clusterHigh != 0 || e.clusterLow != 0)) return false;
  if (!AttributesPossible(e)) return false;
  if (longName && !LongNameSequencePossible(e)) return false;
  if (!longName && !label && !directory && !IsDeletedEntry(e) && !TimesBelievable(e)) return false;
  if (!longName && !label && !NameBytesAllowed(e)) return false;
  if (directory && !IsDeletedEntry(e) && e.fileSize != 0) return false;
  return !longName || e.clusterLow == 0;
}

std::string ShortEntryName(const FatDirEntry& e) {
  uint8_t bytes[11];
  std::memcpy(bytes, e.name, sizeof bytes);
  bool deleted = bytes[0] == kDeletedMark;
  if (bytes[0] == kKanjiEscape) bytes[0] = kDeletedMark;
  for (uint8_t& b : bytes)
    if (b >= 'A' && b <= 'Z') b = static_cast<uint8_t>(b - 'A' + 'a');
  size_t baseLength = 8;
  while (baseLength > 0 && bytes[baseLength - 1] == ' ') --baseLength;
  std::string name;
  if (deleted && baseLength > 0) {
    name.push_back('!');
    AppendCp437(bytes + 1, baseLength - 1, name);
  } else {
    AppendCp437(bytes, baseLength, name);
  }
  if (bytes[8] != ' ') {
    name.push_back('.');
    TrimmedCp437(bytes + 8, 3, name);
  }
  return name;
}

uint8_t ShortNameChecksum(const uint8_t (&name)[11]) {
  uint8_t sum = 0;
  for (uint8_t b : name) sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + b);
  return sum;
}

EntryTimes DirEntryTimes(const FatDirEntry& e) {
  EntryTimes t;
  t.create = FatTimeToFileTime(e.createDate, e.createTime, e.createTenMs);
  t.access = FatTimeToFileTime(e.accessDate, 0);
  t.write = FatTimeToFileTime(e.writeDate, e.writeTime);
  return t;
}

void LongNameCollector::Add(const FatDirEntry& e) {
  static constexpr size_t kUnitOffsets[kPartUnits] = {1,  3,  5,  7,  9,  14, 16,
                                                      18, 20, 22, 24, 28, 30};
  uint8_t checksum = LongNameChecksum(e);
  bool firstOfLiveName = !IsDeletedEntry(e) && (e.name[0] & kLongNameLastFlag) != 0;
  if (firstOfLiveName || (!Empty() && checksum != checksum_)) Reset();
  if (start_ < kPartUnits) Reset();
  const auto* raw = reinterpret_cast<const uint8_t*>(&e);
  start_ -= kPartUnits;
  for (size_t i = 0; i < kPartUnits; ++i) {
    const uint8_t* p = raw + kUnitOffsets[i];
    units_[start_ + i] = static_cast<char16_t>(Le16(p));
  }
  checksum_ = checksum;
}

bool LongNameCollector::TakeFor(const FatDirEntry& shortEntry, std::string& name) {
  bool have =
      !Empty() && (IsDeletedEntry(shortEntry) || ShortNameChecksum(shortEntry.name) == checksum_);
  if (have) name = Utf16ToUtf8(units_ + start_, kCapacity - start_);
  Reset();
  return have && !name.empty();
}

}  // namespace salvora
