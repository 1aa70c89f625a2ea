#pragma once
// The scan-log folder's numbered run folders and the index file "config" of
// saved deep scans, which lets an interrupted deep scan of the same volume
// or image resume. One per process. The file is a run counter (u64)
// followed by 1120-byte entries and is always replaced through "config.tmp".
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace salvora {

#pragma pack(push, 1)
struct ScanHistoryEntry {
  uint32_t key1;          // disk number
  uint32_t reserved;      // deep scans: sectors of a carved file ahead of the position
  uint32_t key2, key3;    // volume first sector, low and high words
  uint32_t key4, key5;    // volume sector count, low and high words
  uint32_t progress[10];  // range start, range length, offset, sectors done, files found (u64 each)
  uint64_t freeBytes;     // free bytes of the volume when saved
  uint64_t imageWriteTime;     // FILETIME of the image's last write
  uint16_t imagePath[260];     // UTF-16, empty for volumes
  uint16_t resultFolder[260];  // UTF-16
};
#pragma pack(pop)
static_assert(sizeof(ScanHistoryEntry) == 1120);
static_assert(offsetof(ScanHistoryEntry, progress) == 24);
static_assert(offsetof(ScanHistoryEntry, freeBytes) == 64);
static_assert(offsetof(ScanHistoryEntry, imageWriteTime) == 72);
static_assert(offsetof(ScanHistoryEntry, imagePath) == 80);
static_assert(offsetof(ScanHistoryEntry, resultFolder) == 600);

// Where a deep scan stood, kept in an entry's progress words.
struct ScanPosition {
  uint64_t rangeStart = 0, rangeLength = 0, offset = 0, sectorsDone = 0, filesFound = 0;
};
ScanPosition PositionOf(const ScanHistoryEntry& entry);
void SetPosition(ScanHistoryEntry& entry, const ScanPosition& position);
// The sectors an entry's scan covered: the volume, or the scanned part of an image.
uint64_t EntryFirstSector(const ScanHistoryEntry& entry);
uint64_t EntrySectorCount(const ScanHistoryEntry& entry);
std::string EntryImagePath(const ScanHistoryEntry& entry);
std::string EntryResultFolder(const ScanHistoryEntry& entry);
// False when the text does not fit in 259 UTF-16 units.
bool SetEntryText(uint16_t (&field)[260], const std::string& utf8);

class ScanHistory {
 public:
  static ScanHistory& Instance();

  // Reads the index of the scan-log folder (again): after a crash during a
  // save "config.tmp" stands in for "config". A damaged file gives what
  // could be read; entries whose folder is gone are dropped.
  void Load();
  int Save();

  // The saved entry of a volume. An entry with the same keys but other free
  // bytes is stale: it is removed with its folder and nothing is found.
  bool FindVolume(const uint32_t (&keys)[5], uint64_t freeBytes, ScanHistoryEntry& found);
  // The same for an image, by path, the first sector scanned (0 for the
  // whole image, a partition's start in an image of a disk) and last-write
  // time.
  bool FindImage(const std::string& path, uint64_t firstSector, uint64_t writeTime,
                 ScanHistoryEntry& found);
  // Replaces the entry with the same identity (keys, or image path), or
  // appends it; then saves.
  int AddOrUpdate(const ScanHistoryEntry& entry);
  // Drops the entry whose result folder is `folder` and deletes the folder
  // when it is a run folder of the scan-log folder.
  void RemoveEntryWithFolder(const std::string& folder);

  // Starts the next numbered run folder (removing a stale one of the same
  // number) and returns it; UndoNewRunFolder takes the number back.
  std::string NewRunFolder();
  void UndoNewRunFolder();
  // The found entry's folder while resuming, else the newest run folder.
  std::string CurrentRunFolder();
  // Leaves resume mode (the next run folder is the counter's again).
  void ClearResume();
  // Run folders whose results live only as long as the process (a quick
  // scan's): RemoveTemporaryRunFolders deletes them when it ends.
  void RemoveAtExit(const std::string& folder);
  void RemoveTemporaryRunFolders();

  const std::vector<ScanHistoryEntry>& Entries();
  uint64_t RunCounter();

 private:
  ScanHistory() = default;
  void EnsureLoaded();
  bool FindEntry(const std::function<bool(const ScanHistoryEntry&)>& sameSource,
                 const std::function<bool(const ScanHistoryEntry&)>& unchanged,
                 ScanHistoryEntry& found);
  std::string RunFolderPath(uint64_t number) const;
  std::string folder_;
  bool loaded_ = false;
  uint64_t counter_ = 0;
  std::vector<ScanHistoryEntry> entries_;
  bool resume_ = false;
  std::string resumeFolder_;
  std::vector<std::string> temporaryFolders_;
};

}  // namespace salvora
