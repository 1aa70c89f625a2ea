#pragma once
// The quick engine of NTFS volumes: reads the MFT straight through its own
// runs, lists every deleted file with the folder chain its $FILE_NAME
// parents give (folders that are gone become "LostFolder<n>" under the
// root), copies files back out, and offers the volume's free clusters from
// $Bitmap to deeper scans.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "clusters/ClusterUsageMap.h"
#include "ntfs/NtfsGeometry.h"
#include "ntfs/NtfsReader.h"
#include "ntfs/NtfsRunList.h"
#include "storage/StoreEngine.h"

namespace salvora {

class CFastNtfsRecovery final : public StoreEngine {
 public:
  CFastNtfsRecovery() : reader_(source_, geometry_) {}

  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  int Scan(const char* savedStoreName) override;
  int NextFreeRange(uint64_t& sector, uint64_t& count) override;
  int BuildUsageMap() override;

  const NtfsGeometry& Geometry() const { return geometry_; }

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;
  uint64_t RootFolderKey() const override { return FolderKey(kRootRecord, 0); }

 private:
  // What a parent walk needs to know of one folder record.
  struct ParentFacts {
    bool readable = false;  // a FILE record whose update sequence fits
    bool directory = false;
    bool named = false;
    uint32_t parent = 0;
  };

  int FinishOpen(int sourceResult);
  int ScanMft();
  int ScanMftRun(const PlacedRun& run, uint64_t& done, uint64_t total, uint64_t startMs,
                 uint64_t& lastEstimateMs, int32_t& secondsLeft);
  void TakeCandidate(uint8_t* record, uint64_t recordNumber, uint64_t sector);
  int EmitFolders();
  void EmitFolder(uint32_t recordNumber);
  void EmitLostFolder(uint32_t recordNumber);
  bool FillFromRecord(const uint8_t* record, uint32_t recordNumber, uint64_t sector, bool isFolder,
                      FoundRecord& found, uint32_t& parent);
  uint64_t ParentKey(uint32_t parent);
  const ParentFacts& FactsOf(uint32_t recordNumber);
  void NoteFolder(uint32_t recordNumber);
  int HeaderCheck(const FoundRecord& found, const uint8_t* record);

  NtfsGeometry geometry_;
  NtfsReader reader_;
  std::vector<uint8_t> chunk_;
  std::vector<uint32_t> folderList_;
  std::unordered_set<uint32_t> folderSeen_;
  std::unordered_map<uint32_t, ParentFacts> parentCache_;
  ClusterUsageMap usage_;
};

}  // namespace salvora
