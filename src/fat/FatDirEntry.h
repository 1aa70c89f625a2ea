#pragma once
// The 32-byte FAT directory entry: the test that decides whether a slot
// holds a believable entry, 8.3 names, long names gathered from the
// entries before their short entry, and the date and time fields. Shared by
// the quick and the deep FAT engines.
#include <cstddef>
#include <cstdint>
#include <string>

#include "clusters/FatTime.h"

namespace salvora {

constexpr size_t kDirEntryBytes = 32;

constexpr uint8_t kAttrReadOnly = 0x01;
constexpr uint8_t kAttrVolumeLabel = 0x08;
constexpr uint8_t kAttrDirectory = 0x10;
constexpr uint8_t kAttrArchive = 0x20;
constexpr uint8_t kAttrLongName = 0x0F;
// Attribute bits no volume sets; slots that show them are leftovers of
// other data.
constexpr uint8_t kAttrUnused = 0xC0;
// First name byte of a deleted entry; 0 marks the end of a directory.
constexpr uint8_t kDeletedMark = 0xE5;

#pragma pack(push, 1)
struct FatDirEntry {
  uint8_t name[11];  // 8 name bytes and 3 extension bytes, space-padded
  uint8_t attributes;
  uint8_t caseFlags;
  uint8_t createTenMs;  // 10 ms units, 0..199
  uint16_t createTime;
  uint16_t createDate;
  uint16_t accessDate;
  uint16_t clusterHigh;  // FAT32 only
  uint16_t writeTime;
  uint16_t writeDate;
  uint16_t clusterLow;
  uint32_t fileSize;
};
#pragma pack(pop)
static_assert(sizeof(FatDirEntry) == kDirEntryBytes);

// Copies the entry at `bytes` (32 bytes must be readable).
FatDirEntry LoadDirEntry(const uint8_t* bytes);

inline bool IsEndOfDirectory(const FatDirEntry& e) { return e.name[0] == 0; }
inline bool IsDeletedEntry(const FatDirEntry& e) { return e.name[0] == kDeletedMark; }
inline bool IsLongNameEntry(const FatDirEntry& e) { return e.attributes == kAttrLongName; }
inline bool IsDirectoryEntry(const FatDirEntry& e) {
  return !IsLongNameEntry(e) && (e.attributes & kAttrDirectory) != 0;
}
// A file is any short entry that is neither a directory nor a volume
// label. The archive bit only says whether a backup has seen the file:
// cameras, other systems and users clear it, and such files are no less
// files.
inline bool IsFileEntry(const FatDirEntry& e) {
  return !IsLongNameEntry(e) && !IsDirectoryEntry(e) && (e.attributes & kAttrVolumeLabel) == 0;
}

// The entry's first cluster; the high word counts only on FAT32.
uint32_t EntryCluster(const FatDirEntry& e, bool fat32);

// True when the block starts with a directory's "." entry followed by its
// ".." entry: the mark of a directory's first cluster.
bool StartsWithDotPair(const uint8_t* block, size_t length);

// Whether the slot at `entry` holds a believable entry. `next` is the slot
// after it, or null at the end of the block.
bool IsValidDirEntry(const uint8_t* entry, const uint8_t* next);

// The 8.3 name as UTF-8 (code page 437), lower-cased, with "." before a
// non-blank extension; a deleted entry's first character becomes '!'.
std::string ShortEntryName(const FatDirEntry& e);

// The checksum a long name carries of the short entry it belongs to.
uint8_t ShortNameChecksum(const uint8_t (&name)[11]);

struct EntryTimes {
  uint64_t create = 0, access = 0, write = 0;
};
EntryTimes DirEntryTimes(const FatDirEntry& e);

// Gathers the 13-character parts of a long name. The parts precede their
// short entry last part first, so each one goes in front of what is there.
class LongNameCollector {
 public:
  static constexpr size_t kMaxParts = 20;
  static constexpr size_t kPartUnits = 13;

  void Reset() { start_ = kCapacity; }
  bool Empty() const { return start_ == kCapacity; }
  size_t Parts() const { return (kCapacity - start_) / kPartUnits; }
  uint8_t Checksum() const { return checksum_; }
  // Adds a long-name entry. A part whose checksum differs from the parts
  // before it starts a new name, and so does one that would not fit.
  void Add(const FatDirEntry& e);
  // Hands out the gathered name (UTF-8) when it belongs to `shortEntry`:
  // for a live entry the checksum must match its 8.3 name (a deleted entry
  // lost its first byte, so only the parts' agreement counts). Always
  // resets, since a long name applies to one short entry only.
  bool TakeFor(const FatDirEntry& shortEntry, std::string& name);

 private:
  static constexpr size_t kCapacity = kMaxParts * kPartUnits;
  char16_t units_[kCapacity] = {};
  size_t start_ = kCapacity;
  uint8_t checksum_ = 0;
};

}  // namespace salvora
