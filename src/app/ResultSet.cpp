#include "app/ResultSet.h"

#include <algorithm>
#include <cstring>

#include "results/TypeGroups.h"

namespace salvora {
namespace {

const std::pair<const char*, const char*> kSameKind[] = {
    {"jpeg", "jpg"}, {"tiff", "tif"}, {"scr", "pcx"}, {"midi", "mid"}, {"m4p", "m4a"},
    {"docx", "doc"}, {"xlsx", "xls"}, {"pptx", "ppt"}, {"htm", "html"},
};

size_t NameLength(const char* name) { return strnlen(name, kRecordNameBytes); }

}  // namespace

std::string GroupingExtension(const char* name) {
  std::string extension = LowerExtension(std::string_view(name, NameLength(name)));
  if (extension.empty()) return "unknow";
  for (auto [spelling, kind] : kSameKind)
    if (extension == spelling) return kind;
  return extension;
}

uint64_t ResultSet::KeyOf(const FoundRecord& record) {
  return uint64_t{record.recordNo} << 32 | uint64_t{record.sourceTag} << 16 |
         (record.engineKind & 0xFFFF);
}

void ResultSet::Reset(std::vector<FoundRecord> records, std::vector<std::string> paths) {
  records_ = std::move(records);
  paths_ = std::move(paths);
  if (paths_.size() != records_.size()) paths_.clear();
  checked_.assign(records_.size(), 0);
  checkedElsewhere_.clear();
  checkedCount_ = checkedBytes_ = 0;
  indexByKey_.clear();
  indexByKey_.reserve(records_.size());
  byExtension_.clear();
  for (uint32_t i = 0; i < records_.size(); ++i) {
    indexByKey_.emplace(KeyOf(records_[i]), i);
    byExtension_[GroupingExtension(records_[i].name)].push_back(i);
  }
}

const std::string& ResultSet::Path(uint32_t index) const {
  static const std::string kNone;
  return index < paths_.size() ? paths_[index] : kNone;
}

void ResultSet::SetChecked(uint32_t index, bool checked) {
  if (index >= checked_.size() || IsChecked(index) == checked) return;
  checked_[index] = checked;
  int64_t sign = checked ? 1 : -1;
  checkedCount_ += sign;
  checkedBytes_ += sign * static_cast<int64_t>(records_[index].fileSize);
}

void ResultSet::SetRecordChecked(const FoundRecord& record, bool checked) {
  uint64_t key = KeyOf(record);
  auto listed = indexByKey_.find(key);
  if (listed != indexByKey_.end()) {
    SetChecked(listed->second, checked);
    return;
  }
  bool was = checkedElsewhere_.count(key) != 0;
  if (was == checked) return;
  if (checked) {
    checkedElsewhere_.emplace(key, record);
    ++checkedCount_;
    checkedBytes_ += record.fileSize;
  } else {
    checkedElsewhere_.erase(key);
    --checkedCount_;
    checkedBytes_ -= record.fileSize;
  }
}

bool ResultSet::IsRecordChecked(const FoundRecord& record) const {
  uint64_t key = KeyOf(record);
  auto listed = indexByKey_.find(key);
  if (listed != indexByKey_.end()) return IsChecked(listed->second);
  return checkedElsewhere_.count(key) != 0;
}

void ResultSet::UncheckAll() {
  std::fill(checked_.begin(), checked_.end(), 0);
  checkedElsewhere_.clear();
  checkedCount_ = checkedBytes_ = 0;
}

std::vector<FoundRecord> ResultSet::CheckedRecords() const {
  std::vector<std::pair<uint64_t, const FoundRecord*>> ordered;
  ordered.reserve(checkedCount_);
  for (uint32_t i = 0; i < records_.size(); ++i)
    if (checked_[i]) ordered.emplace_back(KeyOf(records_[i]), &records_[i]);
  for (const auto& [key, record] : checkedElsewhere_) ordered.emplace_back(key, &record);
  std::sort(ordered.begin(), ordered.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<FoundRecord> out;
  out.reserve(ordered.size());
  for (const auto& entry : ordered) out.push_back(*entry.second);
  return out;
}

}  // namespace salvora
