#pragma once
// exFAT directory entries: 32-byte slots whose first byte names the type
// (bit 7 set while in use). A file or folder is an entry set: a file entry
// (attributes and times), a stream extension (first cluster and lengths)
// and file name entries of 15 UTF-16 units each, guarded by a checksum over
// the whole set. Deleting clears bit 7 of every slot and changes nothing
// else, so a deleted set still carries its name, clusters and checksum.
// Shared by the quick walk, the copy and the deep sweep.
#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

constexpr size_t kExfatSlotBytes = 32;
// A file entry and up to 18 secondary entries.
constexpr size_t kMaxEntrySetSlots = 19;

constexpr uint8_t kExfatInUse = 0x80;
constexpr uint8_t kExfatEndOfDirectory = 0x00;
constexpr uint8_t kExfatBitmapEntry = 0x81;
constexpr uint8_t kExfatFileEntry = 0x85;
constexpr uint8_t kExfatStreamEntry = 0xC0;
constexpr uint8_t kExfatNameEntry = 0xC1;

// What the stream extension says of the data.
struct ExfatStream {
  bool noFatChain = false;  // the clusters are one run; the FAT is not kept
  uint32_t firstCluster = 0;
  uint64_t validDataLength = 0;  // bytes past it read as zeros
  uint64_t dataLength = 0;
};

struct ExfatEntrySet {
  bool deleted = false;
  bool isDirectory = false;
  uint64_t createTime = 0, accessTime = 0, writeTime = 0;  // FILETIME
  ExfatStream stream;
  std::string name;  // UTF-8
  size_t slotCount = 0;  // slots the set occupies
};

// The slots a set starting here claims (its secondary count + 1), or 0
// when the slot does not hold a file entry, live or deleted.
size_t ClaimedSetSlots(const uint8_t* slot);

// Parses the set at `firstSlot`, of which `available` are readable. False for
// anything broken: wrong secondary types, an impossible name length, valid
// data past the data length, or a checksum that does not match the set as
// it was while in use.
bool ParseEntrySet(const uint8_t* firstSlot, size_t available, ExfatEntrySet& out);

// The set checksum over `count` slots; with `asInUse` every type byte
// counts with its in-use bit set, as when the checksum was written.
uint16_t EntrySetChecksum(const uint8_t* firstSlot, size_t count, bool asInUse);

// The stream extension among the slots of `block` whose first cluster and
// data length are these: how a copy finds again the flags and the valid
// length of a file it only knows by its record.
bool FindStreamEntry(const uint8_t* block, size_t length, uint32_t firstCluster,
                     uint64_t dataLength, ExfatStream& out);

// FILETIME of an exFAT timestamp (a FAT date in the high half, a FAT time
// in the low half), its 10 ms part and its UTC offset (bit 7: valid; bits
// 0-6: signed quarter hours). With a valid offset the result is UTC, else
// the local time as stored.
uint64_t ExfatTimeToFileTime(uint32_t stamp, uint8_t tenMs, uint8_t utcOffset);

}  // namespace salvora
