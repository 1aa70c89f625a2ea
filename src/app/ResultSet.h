#pragma once
// The found files of the last type collection as the results page shows
// them: grouped by extension, each with its folder path, and the files the
// user checked for recovery. Built for a million files: records are kept
// compactly, checks are flags beside them, and the check counts of the
// summary and of every extension are kept as they change.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "results/FoundRecord.h"
#include "results/RecordArena.h"

namespace salvora {

class ResultSet {
 public:
  struct ExtensionFiles {
    std::vector<uint32_t> files;  // result indices, in result order
    uint64_t checked = 0;
  };

  // Result index by record key; never changed once built, so a worker may
  // keep and read one while the window goes on.
  using KeyIndex = std::unordered_map<uint64_t, uint32_t>;

  // Takes the records and their folder paths (one per record, or none).
  void Reset(RecordArena records, std::vector<std::string> paths);

  size_t Size() const { return records_->Size(); }
  const RecordArena& Records() const { return *records_; }
  FoundRecord Record(uint32_t index) const { return records_->Full(index); }
  const std::string& Path(uint32_t index) const;

  // Normalised extension -> its files and how many of them are checked.
  const std::map<std::string, ExtensionFiles>& ByExtension() const { return byExtension_; }

  bool IsChecked(uint32_t index) const { return checked_[index] != 0; }
  void SetChecked(uint32_t index, bool checked);
  // Checks or unchecks a record that is not among the results (a file
  // found through the folder view); one that is among them is set there.
  void SetRecordChecked(const FoundRecord& record, bool checked);
  bool IsRecordChecked(const FoundRecord& record) const { return IsKeyChecked(KeyOf(record)); }
  bool IsKeyChecked(uint64_t key) const;
  // The result index of the record with this key, or -1.
  int64_t IndexOfKey(uint64_t key) const;
  std::shared_ptr<const KeyIndex> SharedKeyIndex() const { return indexByKey_; }
  void UncheckAll();

  uint64_t CheckedCount() const { return checkedCount_; }
  uint64_t CheckedBytes() const { return checkedBytes_; }
  // Every checked record, ordered by (record number, source and engine).
  std::vector<FoundRecord> CheckedRecords() const;

  // What identifies a record across views: record number, source tag and
  // engine kind.
  static uint64_t KeyOf(const FoundRecord& record) { return RecordKey(record); }

 private:
  void ForgetElsewhere();

  std::unique_ptr<RecordArena> records_ = std::make_unique<RecordArena>();
  // The files of one folder share its path: each path is held once.
  std::vector<std::string> distinctPaths_;
  std::vector<uint32_t> pathOf_;  // by result index, into distinctPaths_
  std::vector<uint8_t> checked_;
  std::vector<ExtensionFiles*> extensionOf_;  // by result index
  std::shared_ptr<const KeyIndex> indexByKey_ = std::make_shared<KeyIndex>();
  // Records checked in the folder view that are not among the results,
  // held compactly and each once, however often its box is clicked.
  RecordArena elsewhere_;
  std::unordered_map<uint64_t, uint32_t> elsewhereByKey_;  // into elsewhere_
  std::vector<uint8_t> elsewhereChecked_;
  std::map<std::string, ExtensionFiles> byExtension_;
  uint64_t checkedCount_ = 0;
  uint64_t checkedBytes_ = 0;
};

// The extension a found name is grouped under: lower-cased, "unknow"
// without one, and the spellings of one kind joined ("jpeg" is "jpg").
std::string GroupingExtension(std::string_view name);

}  // namespace salvora
