#include "deep/CompositeClassifier.h"

#include <cstring>
#include <vector>

#include "deep/SectorFacts.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint8_t kDirectoryFlag = 0x02;
constexpr uint8_t kFatDirectoryAttribute = 0x10;

bool IsDotEntry(const uint8_t* entry, size_t dots) {
  for (size_t i = 0; i < dots; ++i)
    if (entry[i] != '.') return false;
  return (entry[11] & kFatDirectoryAttribute) != 0 && Le32(entry + 28) == 0;
}

// The record a handler sees: from the chunk when all of it is there, else
// read again from the disk so that a record crossing the chunk end is whole.
struct RecordView {
  const uint8_t* data;
  size_t length;
};

RecordView ViewRecord(const uint8_t* sector, size_t bytesLeft, uint64_t absolute,
                      uint32_t recordBytes, SectorOwners& owners, std::vector<uint8_t>& spare) {
  if (bytesLeft >= recordBytes) return {sector, bytesLeft};
  spare.assign(kRecordReadBytes, 0);
  size_t got = owners.ReadRecordAt(absolute, spare.data());
  if (got >= recordBytes) return {spare.data(), got};
  return {sector, bytesLeft};
}

}  // namespace

uint32_t FileRecordBytes(uint32_t sectorSize) {
  return sectorSize > 512 ? sectorSize : 2 * sectorSize;
}

bool LooksLikeFileRecord(const uint8_t* sector, uint32_t sectorSize) {
  if (sectorSize < 512 || std::memcmp(sector, "FILE", 4) != 0) return false;
  uint32_t recordBytes = FileRecordBytes(sectorSize);
  return Le32(sector + 24) <= recordBytes && Le32(sector + 28) == recordBytes &&
         Le16(sector + 48) == Le16(sector + 510);
}

bool IsDotEntrySector(const uint8_t* sector) {
  return IsDotEntry(sector, 1) && IsDotEntry(sector + 32, 2);
}

uint32_t ClassifyChunk(const uint8_t* chunk, uint32_t sectors, uint32_t sectorSize,
                       uint64_t firstSector, SectorOwners& owners, uint64_t& carveFrom,
                       bool& cancelled, uint8_t* facts) {
  const uint32_t recordBytes = FileRecordBytes(sectorSize);
  std::vector<uint8_t> spare;
  cancelled = false;
  for (uint32_t index = 0; index < sectors; ++index) {
    const uint8_t* sector = chunk + static_cast<size_t>(index) * sectorSize;
    const uint64_t absolute = firstSector + index;
    uint8_t unshared = 0;
    const uint8_t known = KnownFacts(facts ? facts[index] : unshared, sector, sectorSize);
    if (known & kFileRecordFact) {
      size_t bytesLeft = static_cast<size_t>(sectors - index) * sectorSize;
      RecordView view = ViewRecord(sector, bytesLeft, absolute, recordBytes, owners, spare);
      // Folders come from the parent walk of the files inside them.
      if ((view.data[22] & kDirectoryFlag) == 0)
        owners.OnFileRecord(view.data, view.length, absolute);
    } else if (known & kDirectoryStartFact) {
      owners.OnDirectoryStart(sector, absolute);
    } else if (known & kDirectoryEntriesFact) {
      owners.OnDirectoryEntries(sector, absolute);
    } else if (known & kExfatEntriesFact) {
      owners.OnExfatDirectoryEntries(sector, absolute);
    } else if (absolute >= carveFrom) {
      uint64_t advance = 1;
      int result = owners.Carve(sector, absolute, advance);
      if (result == kCancelled) {
        cancelled = true;
        return index;
      }
      if (result == kOk) carveFrom = absolute + (advance == 0 ? 1 : advance);
    }
  }
  return sectors;
}

}  // namespace salvora
