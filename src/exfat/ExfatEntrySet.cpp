#include "exfat/ExfatEntrySet.h"

#include "clusters/FatTime.h"
#include "platform/Utf16.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint8_t kTypeMask = 0x7F;
constexpr uint8_t kSecondaryCategory = 0x40;
constexpr size_t kMinSecondaries = 2;
constexpr size_t kNameUnitsPerSlot = 15;
constexpr uint16_t kDirectoryAttribute = 0x10;
constexpr uint8_t kNoFatChainFlag = 0x02;
constexpr uint8_t kOffsetValid = 0x80;
constexpr int64_t kHundredNanosPerQuarterHour = 15LL * 60 * 10000000;

uint8_t TypeOf(const uint8_t* slot) { return slot[0] & kTypeMask; }

ExfatStream ReadStream(const uint8_t* slot) {
  ExfatStream stream;
  stream.noFatChain = (slot[1] & kNoFatChainFlag) != 0;
  stream.validDataLength = Le64(slot + 8);
  stream.firstCluster = Le32(slot + 20);
  stream.dataLength = Le64(slot + 24);
  return stream;
}

// The secondaries: the stream first, then exactly the name entries the name
// needs, then any other secondary entries (vendor extensions).
bool SecondariesFit(const uint8_t* slots, size_t count, size_t nameSlots) {
  if (TypeOf(slots + kExfatSlotBytes) != (kExfatStreamEntry & kTypeMask)) return false;
  for (size_t i = 2; i < count; ++i) {
    const uint8_t* slot = slots + i * kExfatSlotBytes;
    bool nameSlot = i < 2 + nameSlots;
    if (nameSlot && TypeOf(slot) != (kExfatNameEntry & kTypeMask)) return false;
    if (!nameSlot && (slot[0] & kSecondaryCategory) == 0) return false;
  }
  return true;
}

std::string ReadName(const uint8_t* slots, size_t nameUnits) {
  uint8_t units[kNameUnitsPerSlot * (kMaxEntrySetSlots - 2) * 2];
  size_t copied = 0;
  for (size_t slot = 2; copied < nameUnits; ++slot) {
    const uint8_t* source = slots + slot * kExfatSlotBytes + 2;
    for (size_t i = 0; i < kNameUnitsPerSlot && copied < nameUnits; ++i, ++copied) {
      units[2 * copied] = source[2 * i];
      units[2 * copied + 1] = source[2 * i + 1];
    }
  }
  return Utf16LeToUtf8(units, nameUnits);
}

}  // namespace

size_t ClaimedSetSlots(const uint8_t* slot) {
  if (TypeOf(slot) != (kExfatFileEntry & kTypeMask)) return 0;
  size_t secondaries = slot[1];
  if (secondaries < kMinSecondaries || secondaries + 1 > kMaxEntrySetSlots) return 0;
  return secondaries + 1;
}

uint16_t EntrySetChecksum(const uint8_t* slots, size_t count, bool asInUse) {
  uint16_t sum = 0;
  for (size_t i = 0; i < count * kExfatSlotBytes; ++i) {
    if (i == 2 || i == 3) continue;  // the checksum itself
    uint8_t byte = slots[i];
    if (asInUse && i % kExfatSlotBytes == 0) byte |= kExfatInUse;
    sum = static_cast<uint16_t>(((sum & 1) ? 0x8000 : 0) + (sum >> 1) + byte);
  }
  return sum;
}

bool ParseEntrySet(const uint8_t* slots, size_t available, ExfatEntrySet& out) {
  size_t count = ClaimedSetSlots(slots);
  if (count == 0 || count > available) return false;
  const uint8_t* stream = slots + kExfatSlotBytes;
  size_t nameUnits = stream[3];
  size_t nameSlots = (nameUnits + kNameUnitsPerSlot - 1) / kNameUnitsPerSlot;
  if (nameUnits == 0 || 2 + nameSlots > count || !SecondariesFit(slots, count, nameSlots))
    return false;
  bool deleted = (slots[0] & kExfatInUse) == 0;
  if (EntrySetChecksum(slots, count, deleted) != Le16(slots + 2)) return false;
  ExfatEntrySet set;
  set.stream = ReadStream(stream);
  if (set.stream.validDataLength > set.stream.dataLength) return false;
  set.deleted = deleted;
  set.isDirectory = (Le16(slots + 4) & kDirectoryAttribute) != 0;
  set.createTime = ExfatTimeToFileTime(Le32(slots + 8), slots[20], slots[22]);
  set.writeTime = ExfatTimeToFileTime(Le32(slots + 12), slots[21], slots[23]);
  set.accessTime = ExfatTimeToFileTime(Le32(slots + 16), 0, slots[24]);
  set.name = ReadName(slots, nameUnits);
  set.slotCount = count;
  if (set.name.empty()) return false;
  out = std::move(set);
  return true;
}

bool FindStreamEntry(const uint8_t* block, size_t length, uint32_t firstCluster,
                     uint64_t dataLength, ExfatStream& out) {
  for (size_t offset = 0; offset + kExfatSlotBytes <= length; offset += kExfatSlotBytes) {
    const uint8_t* slot = block + offset;
    if (TypeOf(slot) != (kExfatStreamEntry & kTypeMask)) continue;
    ExfatStream stream = ReadStream(slot);
    if (stream.firstCluster != firstCluster || stream.dataLength != dataLength) continue;
    if (stream.validDataLength > stream.dataLength) continue;
    out = stream;
    return true;
  }
  return false;
}

uint64_t ExfatTimeToFileTime(uint32_t stamp, uint8_t tenMs, uint8_t utcOffset) {
  uint64_t local = FatTimeToFileTime(static_cast<uint16_t>(stamp >> 16),
                                     static_cast<uint16_t>(stamp & 0xFFFF), tenMs);
  if (local == 0 || (utcOffset & kOffsetValid) == 0) return local;
  // Seven-bit two's complement: 0x40 and above are negative.
  int quarters = utcOffset & 0x7F;
  if (quarters >= 0x40) quarters -= 0x80;
  int64_t utc = static_cast<int64_t>(local) - quarters * kHundredNanosPerQuarterHour;
  return utc > 0 ? static_cast<uint64_t>(utc) : 0;
}

}  // namespace salvora
