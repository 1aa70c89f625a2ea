#pragma once
// The deep ext engine: gives back the files of an ext volume that was
// formatted again, or whose primary superblock and descriptors are lost.
// The composite deep scan hands it every chunk it walks; it keeps the
// directory blocks among them, and once the walk ends it rebuilds the old
// inodes left in the inode tables into files named from those blocks (see
// ExtDeepTree). Data is read on the volume as it is now, whose bitmaps tell
// which blocks the new volume has taken since: those make a file damaged.
#include <cstdint>
#include <memory>
#include <vector>

#include "ext/ExtDeepTree.h"
#include "ext/ExtVolume.h"
#include "storage/StoreEngine.h"

namespace salvora {

class CProfessionalExtRecovery final : public StoreEngine {
 public:
  int Scan(const char*) override { return 0; }

  // Starts a sweep: forgets what an earlier one met and opens the store
  // `savedNameOrNull` of an interrupted scan, or a new "Pro_Ext_" store.
  // Everything is rebuilt at the end of a walk, so a saved store is emptied
  // once the directory blocks its records were named from are noted: the
  // resumed walk will not pass them again. Returns the store's result.
  int OpenResults(const char* savedNameOrNull);
  // Reads the superblock (a backup when the first is lost) that says where
  // blocks and inode tables lie. Without one nothing is rebuilt.
  int RegisterVolume();
  // `sectors` sectors at absolute sector `firstSector`, as the walk read them.
  void ProcessChunk(const uint8_t* data, uint32_t sectors, uint64_t firstSector);
  // Once after the walk (also a cancelled one): rebuilds and writes, when
  // `rebuild` (the volume is ext now, or nothing else).
  int FinishFolders(bool rebuild);
  // The absolute sector where a found file's data begins.
  bool FirstDataSector(const FoundRecord& record, uint64_t& sector) const;

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;
  uint64_t RootFolderKey() const override;

 private:
  ExtVolumePlace Place() const;
  void NoteSavedEntries();
  void ReadNotedBlocks();

  ExtVolume volume_;
  ExtDeepTree tree_;
  std::vector<uint64_t> notedBytes_;  // volume bytes of the saved records' entries
};

}  // namespace salvora
