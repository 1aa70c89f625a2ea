#pragma once
// The deep scan engine, built for every volume in deep mode. It owns the
// quick engine of the volume (when there is one), the deep FAT, NTFS, exFAT
// and ext engines and the carving engine. A scan runs the quick engine first,
// then walks the volume's free space (or the whole volume) once, handing
// every sector to exactly one of the other three, and records how far it
// got so that an interrupted scan of the same unchanged source resumes.
// Afterwards it answers every request by dispatching on a record's engine
// kind or by merging what its engines hold.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "carving/FileTypeRecovery.h"
#include "deep/CompositeHistory.h"
#include "deep/CompositeRanges.h"
#include "exfat/ProfessionalExfatRecovery.h"
#include "ext/ProfessionalExtRecovery.h"
#include "fat/ProfessionalFatRecovery.h"
#include "ntfs/ProfessionalNtfsRecovery.h"
#include "results/ScanHistory.h"
#include "storage/SectorSource.h"
#include "storage/UnreadAreaReport.h"

namespace salvora {

struct WalkChunk;

class CProfessionalRecovery final : public IFileRecoveryParse, public UnreadAreaReport {
 public:
  CProfessionalRecovery();
  ~CProfessionalRecovery() override;
  CProfessionalRecovery(const CProfessionalRecovery&) = delete;
  CProfessionalRecovery& operator=(const CProfessionalRecovery&) = delete;

  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  int SetCallbacks(ScanProgressFn onScan, TransferProgressFn onTransfer, void* userData,
                   int32_t percentScale) override;
  int Scan(const char* ignored) override;
  int ListFolder(const FoundRecord* folder, int32_t depth, std::vector<FoundRecord>& out) override;
  // The root holds what every engine found at its root.
  int VisitFolder(const FoundRecord* folder, int32_t depth, const RecordVisitor& visit) override;
  int CountFolderFiles(const FoundRecord* folder, int32_t depth, uint32_t& count) override;
  uint64_t GetRecordCount() override;
  int GetRecordPath(const FoundRecord& record, std::string& path) override;
  int RecoverItem(const FoundRecord* record, const std::string& destPath,
                  int32_t destDepth) override;
  int NextFreeRange(uint64_t&, uint64_t&) override { return 0; }
  int SetListCallback(ListProgressFn fn, void* userData) override;
  // Every file of every engine the filter takes, without the carved copies
  // of files that a file-system engine found.
  int ListByType(const std::string& filter, std::vector<FoundRecord>& out) override;
  int VisitByType(const std::string& filter, const RecordVisitor& visit) override;
  int BuildUsageMap() override { return 0; }
  int ExtractForPreview(const FoundRecord* record, std::string& path, uint8_t* memory,
                        uint32_t& size, ExtractProgressFn callback, void* userData) override;

  // Whether the source was opened with a saved, interrupted scan that the
  // next Scan continues, and where that scan stood.
  bool ResumesSavedScan() const { return resume_; }
  ScanPosition SavedPosition() const { return PositionOf(saved_); }
  std::string SavedFolder() const { return EntryResultFolder(saved_); }
  // Forgets the saved scan (its folder too), so the next Scan starts afresh.
  void DiscardSavedScan();

  // What the walk, the quick engine and every deep engine could not read.
  void AddUnreadAreas(std::vector<ByteRange>& out, uint64_t& leftOut) const override;

  // Whether the last scan walked only the quick engine's free space.
  bool WalkedFreeSpaceOnly() const { return walkedFreeSpace_; }
  // The first volume sector the last scan did not walk in its last range.
  ScanPosition LastPosition() const { return position_; }

 private:
  class Owners;
  friend class Owners;

  void FindSavedEntry();
  int RunQuickScan(const std::string& folder, bool& useFreeMap);
  int PrepareEngines(const std::string& folder);
  int WalkVolume(WalkRanges& ranges);
  int FirstReadFailure(int quickFailure);
  int WalkOneChunk(const WalkChunk& chunk, Owners& owners);
  int ReportWalk();
  // Sectors of a carved file still ahead of the walk's position.
  uint32_t CarveSkipAtPosition() const;
  void UpdateEstimate();
  IFileRecoveryParse* EngineOf(uint32_t engineKind);

  CProfessionalFatRecovery fat_;
  CProfessionalNtfsRecovery ntfs_;
  CProfessionalExfatRecovery exfat_;
  CProfessionalExtRecovery ext_;
  CFileTypeRecovery carving_;
  std::unique_ptr<IFileRecoveryParse> quick_;
  SectorSource source_;
  int sectorSize_ = 512;
  ScanIdentity identity_;
  uint16_t sourceTag_ = 0;
  ScanProgressFn onScan_ = nullptr;
  TransferProgressFn onTransfer_ = nullptr;
  void* userData_ = nullptr;
  int32_t percentScale_ = 90;
  ListProgressFn onList_ = nullptr;
  void* listUserData_ = nullptr;
  ScanHistoryEntry saved_{};
  bool resume_ = false;
  bool walkedFreeSpace_ = false;

  // Progress of the running walk.
  ScanPosition position_;
  uint64_t total_ = 0;
  uint64_t startMs_ = 0, lastEstimateMs_ = 0;
  int32_t secondsLeft_ = -1;
  uint64_t carveFrom_ = 0;  // absolute sector where carving may start again
};

}  // namespace salvora
