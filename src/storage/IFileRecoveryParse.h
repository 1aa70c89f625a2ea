#pragma once
// The one interface behind which every recovery engine sits. The application
// never knows which engine it holds: it opens it, installs callbacks, scans,
// and then asks the same object for listings, paths, recovery and previews.
// Slot order is fixed. Results are codes, never exceptions.
#include <cstdint>
#include <string>
#include <vector>

#include "results/FoundRecord.h"
#include "storage/Callbacks.h"

namespace salvora {

class IFileRecoveryParse {
 public:
  // Opens an image file whose sector 0 is the volume's first sector; the tag
  // goes into every record's sourceTag.
  virtual int OpenImage(const std::string& imagePath, uint16_t sourceTag) = 0;
  // Opens disk `diskNumber` and remembers the volume's place on it; every
  // sector the engine reads is firstSector + a volume-relative sector.
  virtual int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                       uint16_t sourceTag) = 0;
  virtual int SetCallbacks(ScanProgressFn onScan, TransferProgressFn onTransfer, void* userData,
                           int32_t percentScale) = 0;
  // Scans into a new store, or with a name reopens that saved store.
  virtual int Scan(const char* savedStoreName) = 0;
  // Direct children of a folder (null with depth 0: the root), sorted.
  virtual int ListFolder(const FoundRecord* folder, int32_t depth,
                         std::vector<FoundRecord>& out) = 0;
  virtual int CountFolderFiles(const FoundRecord* folder, int32_t depth, uint32_t& count) = 0;
  virtual uint64_t GetRecordCount() = 0;
  // Parent folder names from the root down, each followed by '/'.
  virtual int GetRecordPath(const FoundRecord& record, std::string& path) = 0;
  // Writes a file to destPath, or recreates a folder with its whole subtree.
  virtual int RecoverItem(const FoundRecord* record, const std::string& destPath,
                          int32_t destDepth) = 0;
  // Moves `sector` to the next free cluster at or after it and sets `count`
  // to the length of that free run (0 at the end). 0 without a usage map.
  virtual int NextFreeRange(uint64_t& sector, uint64_t& count) = 0;
  virtual int SetListCallback(ListProgressFn fn, void* userData) = 0;
  // Every stored file the type filter takes, sorted; 1 or an error code.
  virtual int ListByType(const std::string& filter, std::vector<FoundRecord>& out) = 0;
  // Builds the allocated-cluster map; 0 when it was built.
  virtual int BuildUsageMap() = 0;
  // Copies a file for viewing: into a file whose path is written to `path`,
  // or into `memory` (at most `size` bytes; `size` receives the count).
  virtual int ExtractForPreview(const FoundRecord* record, std::string& path, uint8_t* memory,
                                uint32_t& size, ExtractProgressFn callback, void* userData) = 0;
  // What ListFolder and ListByType list, handed to `visit` one record at a
  // time and in no set order, so that a caller keeping a million records
  // compactly never holds them all whole. The same results as those two.
  // Engines that can, read them from their store without a listing.
  virtual int VisitFolder(const FoundRecord* folder, int32_t depth, const RecordVisitor& visit);
  virtual int VisitByType(const std::string& filter, const RecordVisitor& visit);
  virtual ~IFileRecoveryParse() = default;
};

}  // namespace salvora
