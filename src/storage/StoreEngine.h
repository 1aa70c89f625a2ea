#pragma once
// What every engine that keeps its findings in one ScanResultStore shares:
// the source it reads, the callbacks, the listing slots answered from the
// store, and recovery and preview built on one engine-specific operation,
// CopyFileData, that streams a file's bytes into a sink.
#include <cstdint>
#include <string>
#include <vector>

#include "results/ScanResultStore.h"
#include "storage/DataSink.h"
#include "storage/IFileRecoveryParse.h"
#include "storage/SectorSource.h"
#include "storage/UnreadAreaReport.h"

namespace salvora {

class StoreEngine : public IFileRecoveryParse, public UnreadAreaReport {
 public:
  void AddUnreadAreas(std::vector<ByteRange>& out, uint64_t& leftOut) const override {
    source_.Unread().AddTo(out, leftOut);
  }
  // Open the source; both do nothing and return 0 once the engine is open.
  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  int SetCallbacks(ScanProgressFn onScan, TransferProgressFn onTransfer, void* userData,
                   int32_t percentScale) override;
  int ListFolder(const FoundRecord* folder, int32_t depth, std::vector<FoundRecord>& out) override;
  int CountFolderFiles(const FoundRecord* folder, int32_t depth, uint32_t& count) override;
  uint64_t GetRecordCount() override;
  int GetRecordPath(const FoundRecord& record, std::string& path) override;
  int RecoverItem(const FoundRecord* record, const std::string& destPath,
                  int32_t destDepth) override;
  int NextFreeRange(uint64_t& sector, uint64_t& count) override;
  int SetListCallback(ListProgressFn fn, void* userData) override;
  int ListByType(const std::string& filter, std::vector<FoundRecord>& out) override;
  int BuildUsageMap() override;
  int ExtractForPreview(const FoundRecord* record, std::string& path, uint8_t* memory,
                        uint32_t& size, ExtractProgressFn callback, void* userData) override;
  // ListFolder lists what this visits, sorted: an engine that lists its
  // folders in its own way overrides only this.
  int VisitFolder(const FoundRecord* folder, int32_t depth, const RecordVisitor& visit) override;
  int VisitByType(const std::string& filter, const RecordVisitor& visit) override;

  ScanResultStore& Store() { return store_; }
  SectorSource& Source() { return source_; }
  int SectorSize() const { return sectorSize_; }

 protected:
  // Streams the file's data into the sink, stopping once the sink is full.
  // Returns 0, an error code, or a callback's non-zero answer.
  virtual int CopyFileData(const FoundRecord& record, DataSink& sink) = 0;
  // The key that lists the root (0: the smallest key of the store).
  virtual uint64_t RootFolderKey() const { return 0; }

  // Opens the source on a disk or an image and remembers the volume.
  int OpenDiskSource(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                     uint16_t sourceTag);
  int OpenImageSource(const std::string& imagePath, uint16_t sourceTag);
  // Opens a store named `name` in the current run folder.
  int OpenStoreNamed(const std::string& name);
  // The same for a new scan: what an earlier scan left under that name (the
  // same volume scanned again within the minute) is removed first, so that
  // the new records are not mixed into the old files.
  int OpenNewStoreNamed(const std::string& name);
  // Reads volume-relative sectors.
  int ReadVolumeSectors(uint64_t sector, uint32_t count, void* buffer, uint32_t& sectorsRead);
  // Calls the scan callback when one is installed.
  int ReportScan(int32_t percent, int32_t secondsLeft, uint64_t done, uint64_t total,
                 uint64_t found);

  // Creates one recovered file (or an empty folder for a folder record).
  int RecoverOne(const FoundRecord& record, const std::string& destPath);

  SectorSource source_;
  ScanResultStore store_;
  bool opened_ = false;
  uint16_t sourceTag_ = 0;
  uint32_t diskNumber_ = 0;
  uint64_t firstSector_ = 0;  // absolute first sector of the volume
  uint64_t sectorCount_ = 0;  // sectors of the volume
  int sectorSize_ = 512;
  ScanProgressFn onScan_ = nullptr;
  TransferProgressFn onTransfer_ = nullptr;
  void* userData_ = nullptr;
  int32_t percentScale_ = 100;
  ListProgressFn onList_ = nullptr;
  void* listUserData_ = nullptr;

 private:
  int RecoverFolderTree(const FoundRecord& folder, const std::string& destPath);
};

}  // namespace salvora
