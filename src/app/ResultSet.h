#pragma once
// The found files of the last type collection as the results page shows
// them: grouped by extension, each with its folder path, and the files the
// user checked for recovery. Built for hundreds of thousands of files:
// checks are flags beside the records, the summary is kept as it changes.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "results/FoundRecord.h"

namespace salvora {

class ResultSet {
 public:
  // Takes the records and their folder paths (one per record, or none).
  void Reset(std::vector<FoundRecord> records, std::vector<std::string> paths);

  size_t Size() const { return records_.size(); }
  const FoundRecord& Record(uint32_t index) const { return records_[index]; }
  const std::string& Path(uint32_t index) const;

  // Normalised extension -> indices of its files, in result order.
  const std::map<std::string, std::vector<uint32_t>>& ByExtension() const { return byExtension_; }

  bool IsChecked(uint32_t index) const { return checked_[index] != 0; }
  void SetChecked(uint32_t index, bool checked);
  // Checks or unchecks a record that is not among the results (a file
  // found through the folder view); one that is among them is set there.
  void SetRecordChecked(const FoundRecord& record, bool checked);
  bool IsRecordChecked(const FoundRecord& record) const;
  void UncheckAll();

  uint64_t CheckedCount() const { return checkedCount_; }
  uint64_t CheckedBytes() const { return checkedBytes_; }
  // Every checked record, ordered by (record number, source and engine).
  std::vector<FoundRecord> CheckedRecords() const;

  // What identifies a record across views: record number, source tag and
  // engine kind.
  static uint64_t KeyOf(const FoundRecord& record);

 private:
  std::vector<FoundRecord> records_;
  std::vector<std::string> paths_;
  std::vector<uint8_t> checked_;
  std::unordered_map<uint64_t, uint32_t> indexByKey_;
  std::map<uint64_t, FoundRecord> checkedElsewhere_;
  std::map<std::string, std::vector<uint32_t>> byExtension_;
  uint64_t checkedCount_ = 0;
  uint64_t checkedBytes_ = 0;
};

// The extension a found name is grouped under: lower-cased, "unknow"
// without one, and the spellings of one kind joined ("jpeg" is "jpg").
std::string GroupingExtension(const char* name);

}  // namespace salvora
