#pragma once
// How a deep scan finds and leaves its place in the saved-scan index: a
// volume is known by its disk, first sector, sector count and free bytes; an
// image by its path and last-write time. A source that changed since its
// scan was saved starts afresh.
#include <cstdint>
#include <string>

#include "results/ScanHistory.h"

namespace salvora {

// The disk number the saved-scan index gives every image.
constexpr uint32_t kImageDiskNumber = 128;

struct ScanIdentity {
  uint32_t diskNumber = 0;
  uint64_t firstSector = 0;
  uint64_t sectorCount = 0;
  std::string imagePath;  // empty for a volume on a disk
};

// The absolute form of an image path, so that a scan started from another
// folder still finds its saved entry.
std::string NormalImagePath(const std::string& path);

// The saved entry of this source; a stale one is removed with its folder.
bool FindSavedScan(const ScanIdentity& identity, ScanHistoryEntry& entry);

// Adds or updates the source's entry with the position reached, the
// sectors of a carved file still ahead of it, and the folder of its stores;
// the identity is taken afresh.
int SaveScanPosition(const ScanIdentity& identity, const ScanPosition& position, uint32_t carveSkip,
                     const std::string& resultFolder);

// The data file in `folder` whose name holds `prefix` (not its companions);
// empty when there is none.
std::string FindStoreName(const std::string& folder, const char* prefix);

}  // namespace salvora
