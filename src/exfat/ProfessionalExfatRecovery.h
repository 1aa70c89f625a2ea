#pragma once
// The deep exFAT engine: gives back the files of a card that was formatted
// again (a camera's format writes a new, empty root and leaves the old
// folders' entry sets in the heap) or whose folders were lost. It never
// sweeps the disk itself: the composite deep scan hands it every sector
// that looks like exFAT directory entries, in ascending order, and it
// rebuilds files with their names and, where their folders' sets are found
// too, their paths. File data is read on the volume as it is now, whose
// bitmap tells which clusters new data has taken since.
#include <cstdint>
#include <string>

#include "exfat/ExfatDeepTree.h"
#include "exfat/ExfatSlotWindow.h"
#include "exfat/ExfatVolume.h"
#include "storage/StoreEngine.h"

namespace salvora {

class CProfessionalExfatRecovery final : public StoreEngine {
 public:
  // The composite drives this engine through the entry points below.
  int Scan(const char* savedStoreName) override;

  // Starts a sweep: forgets what an earlier one met and opens the store
  // `savedNameOrNull` (a resumed scan), or a new "Pro_Exfat_" store when it
  // is null or empty. Returns the store's open result.
  int OpenResults(const char* savedNameOrNull);
  // Reads the volume's boot region, which says where clusters lie. Without
  // one nothing met in the sweep can be placed, and nothing is kept.
  int RegisterBootVolume();
  // `sector` holds one sector (SectorSize() bytes) at absolute sector
  // `absoluteSector` that looks like exFAT directory entries.
  int ProcessDirectoryEntries(const uint8_t* sector, uint64_t absoluteSector);
  // Once after the sweep (also a cancelled one): writes what was met.
  int FinishFolders();

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;

 private:
  // A set met in the sweep, its stream sector turned into the volume's own
  // sectors.
  void Keep(const ExfatEntrySet& set, uint64_t streamSector);

  ExfatVolume volume_;
  ExfatSlotWindow window_{false};
  ExfatDeepTree tree_;
  uint64_t lastSector_ = 0;
};

}  // namespace salvora
