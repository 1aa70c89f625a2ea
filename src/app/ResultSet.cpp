#include "app/ResultSet.h"

#include <algorithm>
#include <cstring>

#include "results/TypeGroups.h"

namespace salvora {
namespace {

const std::pair<const char*, const char*> kSameKind[] = {
    {"jpeg", "jpg"}, {"tiff", "tif"}, {"scr", "pcx"},  {"midi", "mid"}, {"m4p", "m4a"},
    {"docx", "doc"}, {"xlsx", "xls"}, {"pptx", "ppt"}, {"htm", "html"},
};

}  // namespace

std::string GroupingExtension(std::string_view name) {
  std::string extension = LowerExtension(name);
  if (extension.empty()) return "unknow";
  for (auto [spelling, kind] : kSameKind)
    if (extension == spelling) return kind;
  return extension;
}

void ResultSet::Reset(RecordArena records, std::vector<std::string> paths) {
  records_ = std::make_unique<RecordArena>(std::move(records));
  const size_t count = records_->Size();
  distinctPaths_.clear();
  pathOf_.clear();
  if (paths.size() == count) {
    pathOf_.reserve(count);
    std::unordered_map<std::string, uint32_t> known;
    for (std::string& path : paths) {
      auto [at, added] = known.emplace(path, static_cast<uint32_t>(distinctPaths_.size()));
      if (added) distinctPaths_.push_back(std::move(path));
      pathOf_.push_back(at->second);
    }
  }
  checked_.assign(count, 0);
  ForgetElsewhere();
  checkedCount_ = checkedBytes_ = 0;
  auto index = std::make_shared<KeyIndex>();
  index->reserve(count);
  byExtension_.clear();
  extensionOf_.assign(count, nullptr);
  // Names share few extensions: each distinct suffix is normalised once.
  std::unordered_map<std::string, ExtensionFiles*> bySuffix;
  for (uint32_t i = 0; i < count; ++i) {
    index->emplace(records_->Key(i), i);
    std::string_view name = records_->Name(i);
    std::string suffix(NameSuffix(name));
    auto known = bySuffix.find(suffix);
    if (known == bySuffix.end())
      known = bySuffix.emplace(std::move(suffix), &byExtension_[GroupingExtension(name)]).first;
    known->second->files.push_back(i);
    extensionOf_[i] = known->second;
  }
  indexByKey_ = std::move(index);
}

const std::string& ResultSet::Path(uint32_t index) const {
  static const std::string kNone;
  return index < pathOf_.size() ? distinctPaths_[pathOf_[index]] : kNone;
}

void ResultSet::SetChecked(uint32_t index, bool checked) {
  if (index >= checked_.size() || IsChecked(index) == checked) return;
  checked_[index] = checked;
  int64_t sign = checked ? 1 : -1;
  checkedCount_ += sign;
  checkedBytes_ += sign * static_cast<int64_t>(records_->FileSize(index));
  extensionOf_[index]->checked += sign;
}

void ResultSet::SetRecordChecked(const FoundRecord& record, bool checked) {
  uint64_t key = KeyOf(record);
  int64_t listed = IndexOfKey(key);
  if (listed >= 0) {
    SetChecked(static_cast<uint32_t>(listed), checked);
    return;
  }
  auto known = elsewhereByKey_.find(key);
  bool was = known != elsewhereByKey_.end() && elsewhereChecked_[known->second];
  if (was == checked) return;
  if (known == elsewhereByKey_.end()) {
    known = elsewhereByKey_.emplace(key, elsewhere_.Add(record)).first;
    elsewhereChecked_.push_back(0);
  }
  elsewhereChecked_[known->second] = checked;
  int64_t sign = checked ? 1 : -1;
  checkedCount_ += sign;
  checkedBytes_ += sign * static_cast<int64_t>(elsewhere_.FileSize(known->second));
}

void ResultSet::ForgetElsewhere() {
  elsewhere_ = RecordArena();
  elsewhereByKey_.clear();
  elsewhereChecked_.clear();
}

int64_t ResultSet::IndexOfKey(uint64_t key) const {
  auto listed = indexByKey_->find(key);
  return listed == indexByKey_->end() ? int64_t{-1} : int64_t{listed->second};
}

bool ResultSet::IsKeyChecked(uint64_t key) const {
  int64_t listed = IndexOfKey(key);
  if (listed >= 0) return IsChecked(static_cast<uint32_t>(listed));
  auto known = elsewhereByKey_.find(key);
  return known != elsewhereByKey_.end() && elsewhereChecked_[known->second];
}

void ResultSet::UncheckAll() {
  std::fill(checked_.begin(), checked_.end(), 0);
  for (auto& [extension, files] : byExtension_) files.checked = 0;
  ForgetElsewhere();
  checkedCount_ = checkedBytes_ = 0;
}

std::vector<FoundRecord> ResultSet::CheckedRecords() const {
  // Result indices as they are, the others as their position plus the
  // result count.
  std::vector<std::pair<uint64_t, size_t>> ordered;
  ordered.reserve(checkedCount_);
  for (uint32_t i = 0; i < checked_.size(); ++i)
    if (checked_[i]) ordered.emplace_back(records_->Key(i), i);
  for (const auto& [key, at] : elsewhereByKey_)
    if (elsewhereChecked_[at]) ordered.emplace_back(key, checked_.size() + at);
  std::sort(ordered.begin(), ordered.end());
  std::vector<FoundRecord> out;
  out.reserve(ordered.size());
  for (const auto& [key, at] : ordered)
    out.push_back(at < checked_.size()
                      ? records_->Full(static_cast<uint32_t>(at))
                      : elsewhere_.Full(static_cast<uint32_t>(at - checked_.size())));
  return out;
}

}  // namespace salvora
