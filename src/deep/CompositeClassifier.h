#pragma once
// Hands every sector of a chunk to exactly one owner: NTFS file records to
// the deep NTFS engine, FAT directory sectors to the deep FAT engine, exFAT
// directory sectors to the deep exFAT engine, and everything else to
// carving. Carving is not tried again inside a file it
// just carved (which may run past the chunk), but the file-system tests
// still see those sectors: a carved file measured too long must not hide
// the directories and records that lie behind its real end.
#include <cstddef>
#include <cstdint>

namespace salvora {

// Largest FILE record the deep NTFS engine reads (it may span the chunk end).
constexpr size_t kRecordReadBytes = 8192;

class SectorOwners {
 public:
  virtual ~SectorOwners() = default;
  // A non-directory FILE record; `length` bytes are valid from `record`.
  virtual void OnFileRecord(const uint8_t* record, size_t length, uint64_t sector) = 0;
  virtual void OnDirectoryStart(const uint8_t* data, uint64_t sector) = 0;
  virtual void OnDirectoryEntries(const uint8_t* data, uint64_t sector) = 0;
  virtual void OnExfatDirectoryEntries(const uint8_t* data, uint64_t sector) = 0;
  // 0 when a file was stored (advance set to the sectors to skip), another
  // code when nothing was, the cancel code when the user cancelled.
  virtual int Carve(const uint8_t* data, uint64_t sector, uint64_t& advance) = 0;
  // Reads up to kRecordReadBytes at `sector`; the bytes that arrived.
  virtual size_t ReadRecordAt(uint64_t sector, uint8_t* buffer) = 0;
};

// Bytes of one FILE record on a device of this sector size.
uint32_t FileRecordBytes(uint32_t sectorSize);
// A FILE record header whose sizes fit one record and whose update sequence
// number matches the sector's last word.
bool LooksLikeFileRecord(const uint8_t* sector, uint32_t sectorSize);
// A sector that starts a FAT subdirectory: "." and ".." directory entries.
bool IsDotEntrySector(const uint8_t* sector);

// Classifies `sectors` sectors of `chunk`, whose first sector is absolute
// sector `firstSector`. Sectors before `carveFrom` lie inside a carved file
// and are not carved; a carved file moves `carveFrom` past its end. Returns
// the sectors walked: all of them, or after a cancel those before the
// cancelled sector (so a resumed scan starts there), with `cancelled` set.
// `facts`, when given, is the memo of the sectors' file-system tests (one
// per sector, see SectorFacts.h), used and filled in.
uint32_t ClassifyChunk(const uint8_t* chunk, uint32_t sectors, uint32_t sectorSize,
                       uint64_t firstSector, SectorOwners& owners, uint64_t& carveFrom,
                       bool& cancelled, uint8_t* facts = nullptr);

}  // namespace salvora
