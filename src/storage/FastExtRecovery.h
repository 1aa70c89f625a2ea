#pragma once
// The ext placeholder: an engine without a file system. It keeps the disk
// open so that it behaves like the other engines, and answers every request
// at once with nothing, so a quick scan of an ext volume ends immediately.
#include "storage/IFileRecoveryParse.h"
#include "storage/SectorSource.h"

namespace salvora {

class CFastExtRecovery : public IFileRecoveryParse {
 public:
  int OpenImage(const std::string&, uint16_t) override { return 0; }
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  int SetCallbacks(ScanProgressFn, TransferProgressFn, void*, int32_t) override { return 0; }
  int Scan(const char*) override { return 0; }
  int ListFolder(const FoundRecord*, int32_t, std::vector<FoundRecord>&) override { return 0; }
  int CountFolderFiles(const FoundRecord*, int32_t, uint32_t&) override { return 0; }
  uint64_t GetRecordCount() override { return 0; }
  int GetRecordPath(const FoundRecord&, std::string&) override { return 0; }
  int RecoverItem(const FoundRecord*, const std::string&, int32_t) override { return 0; }
  int NextFreeRange(uint64_t&, uint64_t&) override { return 0; }
  int SetListCallback(ListProgressFn, void*) override { return 0; }
  int ListByType(const std::string&, std::vector<FoundRecord>&) override { return 0; }
  int BuildUsageMap() override { return 0; }
  int ExtractForPreview(const FoundRecord*, std::string&, uint8_t*, uint32_t&, ExtractProgressFn,
                        void*) override {
    return 0;
  }

 private:
  SectorSource source_;
};

}  // namespace salvora
