#pragma once
// An engine whose copies go wrong by a found file's name: "throws.bin"
// throws (as an engine out of memory on a hostile record could), and
// "silent.bin" fails without telling of the file first. Any other name is
// written as "ok" and told as copied. Nothing else does anything.
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/ErrorCodes.h"
#include "storage/IFileRecoveryParse.h"
#include "support/TestSupport.h"

namespace salvora::test {

class MisbehavingEngine : public IFileRecoveryParse {
 public:
  int OpenImage(const std::string&, uint16_t) override { return 0; }
  int OpenDisk(uint32_t, uint64_t, uint64_t, uint16_t) override { return 0; }
  int SetCallbacks(ScanProgressFn, TransferProgressFn onTransfer, void* user, int32_t) override {
    onTransfer_ = onTransfer;
    user_ = user;
    return 0;
  }
  int Scan(const char*) override { return 0; }
  int ListFolder(const FoundRecord*, int32_t, std::vector<FoundRecord>&) override { return 0; }
  int CountFolderFiles(const FoundRecord*, int32_t, uint32_t&) override { return 0; }
  uint64_t GetRecordCount() override { return 0; }
  int GetRecordPath(const FoundRecord&, std::string&) override { return 0; }
  int RecoverItem(const FoundRecord* record, const std::string& path, int32_t) override {
    std::string name(record->name, RecordNameLength(record->name));
    if (name == "throws.bin") throw std::runtime_error("engine fault");
    if (name == "silent.bin") return kReadFault;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, "ok");
    return onTransfer_(user_, 100, 100, kOk, path.c_str());
  }
  int NextFreeRange(uint64_t&, uint64_t&) override { return 0; }
  int SetListCallback(ListProgressFn, void*) override { return 0; }
  int ListByType(const std::string&, std::vector<FoundRecord>&) override { return 1; }
  int BuildUsageMap() override { return 0; }
  int ExtractForPreview(const FoundRecord*, std::string&, uint8_t*, uint32_t&, ExtractProgressFn,
                        void*) override {
    return 0;
  }

 private:
  TransferProgressFn onTransfer_ = nullptr;
  void* user_ = nullptr;
};

}  // namespace salvora::test
