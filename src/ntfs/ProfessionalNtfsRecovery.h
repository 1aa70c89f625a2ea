#pragma once
// The deep NTFS engine: files of NTFS volumes that were formatted,
// repartitioned or lost their boot sector. It never sweeps the disk itself;
// the composite deep scan hands it every non-directory FILE record found
// anywhere, with its absolute sector. From the records alone it works out
// which MFT and volume each belongs to and how large the clusters are,
// rebuilds folders through parent references, and after the sweep writes
// the folders that files referenced.
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "ntfs/NtfsDeepMftMap.h"
#include "ntfs/NtfsGeometry.h"
#include "storage/StoreEngine.h"

namespace salvora {

struct FileName;

class CProfessionalNtfsRecovery final : public StoreEngine {
 public:
  CProfessionalNtfsRecovery();

  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  // The composite drives this engine through the entry points below.
  int Scan(const char*) override { return 0; }

  // Starts a sweep: forgets pending folders and opens the store
  // `savedNameOrNull` (a resumed scan), or a new "Pro_Ntfs_" store.
  int OpenResults(const char* savedNameOrNull);
  // One FILE record found at absolute `sector`; `length` bytes of it are
  // valid. Pass 0 takes files (in use or not); pass 1 writes the folder
  // numbered `recordNumber`, or a lost folder when its record is gone.
  // 0; -1 not a FILE record; 87 an inconsistent header.
  int ProcessFileRecord(const uint8_t* record, size_t length, uint64_t sector, int pass,
                        uint32_t recordNumber);
  // Once after the sweep (also a cancelled one): writes every folder that
  // files referenced, and the folders above them.
  int EmitPendingFolders();

  // The runs of a found file's unnamed $DATA, read from its FILE record.
  int ReadDataRuns(const FoundRecord& record, RunList& runs);

  int32_t SectorsPerCluster() const { return sectorsPerCluster_; }
  size_t KnownMftCount() const { return mftMap_.Size(); }

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;

 private:
  struct PendingFolder {
    uint32_t number;
    int32_t sectorsPerCluster;
    MftPlace place;
  };

  int FinishOpen(int sourceResult);
  void EnterBootVolumeMft();
  int ProcessFile(uint8_t* record, uint64_t sector, uint32_t number);
  int ProcessFolder(uint8_t* record, size_t length, uint64_t sector, uint32_t number);
  void EnterMftRecord(const uint8_t* record, uint64_t sector);
  FoundRecord* AppendFound(const FileName& fileName, uint32_t number, uint64_t sector,
                           const MftPlace& place, bool folder);
  void AppendLostFolder(uint32_t number);
  uint64_t WalkParents(uint32_t parent, const MftPlace& place, int32_t sectorsPerCluster);
  bool ReadParentOf(uint32_t number, const MftPlace& place, int32_t sectorsPerCluster,
                    uint32_t& parent);
  void AddPending(uint32_t number, int32_t sectorsPerCluster, const MftPlace& place);
  uint32_t ContentCheck(const uint8_t* record, const FoundRecord& found);
  bool ReadRecordInto(uint64_t sector, std::vector<uint8_t>& buffer, size_t& got);
  NtfsGeometry GeometryOf(const FoundRecord& record) const;
  uint32_t ClusterBytes() const;

  int32_t sectorsPerCluster_ = 8;
  int32_t recordBytes_ = 1024;
  int32_t sectorsPerRecord_ = 2;
  MftMap mftMap_;
  std::vector<PendingFolder> pending_;
  std::unordered_set<uint32_t> pendingNumbers_;
  std::unordered_set<uint32_t> emittedFolders_;
  std::vector<uint8_t> record_;  // the record being processed
  std::vector<uint8_t> parent_;  // a parent read by the parent walk
};

}  // namespace salvora
