#pragma once
// An engine over records written into its store here, all at the root,
// that scans nothing and copies nothing: for the views and listings above
// the engines, at any number of records.
#include <cstdint>
#include <functional>
#include <string>

#include "storage/StoreEngine.h"

namespace salvora::test {

class StoredRecordsEngine : public StoreEngine {
 public:
  // `fill` writes record i (0-based) into a zeroed slot; its record number
  // is set afterwards.
  StoredRecordsEngine(uint32_t count, const std::function<void(uint32_t, FoundRecord&)>& fill) {
    OpenNewStoreNamed("Stored");
    for (uint32_t i = 0; i < count; ++i) {
      FoundRecord* record = store_.AppendRecord();
      fill(i, *record);
      record->recordNo = store_.GetRecordCount();
      store_.AddRelation(0, 0, record->recordNo, 0, nullptr);
    }
    store_.Flush();
  }
  int OpenImage(const std::string&, uint16_t) override { return 0; }
  int OpenDisk(uint32_t, uint64_t, uint64_t, uint16_t) override { return 0; }
  int Scan(const char*) override { return 0; }

 protected:
  int CopyFileData(const FoundRecord&, DataSink&) override { return 87; }
};

}  // namespace salvora::test
