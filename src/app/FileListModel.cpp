#include "app/FileListModel.h"

#include <algorithm>
#include <numeric>

#include "app/ExtensionIcon.h"
#include "app/LanguageStore.h"
#include "app/RecordText.h"
#include "results/NaturalOrder.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

const char* const kHeaderKeys[] = {"FileName", "Path",         "Size",
                                   "Type",     "ModifiedTime", "CreatedTime"};

// Columns whose first click sorts from the largest or newest.
bool StartsDescending(int column) {
  return column == FileListModel::kSize || column == FileListModel::kModified ||
         column == FileListModel::kCreated;
}

// Sort keys of text columns, all in one buffer: a million names sort by
// byte comparisons of their keys rather than by comparing names afresh.
class TextKeys {
 public:
  explicit TextKeys(size_t records) : starts_(records), ends_(records) {}
  void Add(uint32_t index, std::string_view first, std::string_view second) {
    starts_[index] = keys_.size();
    AppendNaturalKey(first, keys_);
    keys_.push_back('\0');
    AppendNaturalKey(second, keys_);
    ends_[index] = keys_.size();
  }
  std::string_view Of(uint32_t index) const {
    return std::string_view(keys_).substr(starts_[index], ends_[index] - starts_[index]);
  }

 private:
  std::string keys_;
  std::vector<size_t> starts_, ends_;
};

}  // namespace

FileListModel::FileListModel(ResultSet& results, QObject* parent)
    : QAbstractTableModel(parent), results_(results) {
  Retext();
}

void FileListModel::Retext() {
  for (int c = 0; c < kColumns; ++c)
    headers_[c] = LanguageStore::Instance().Text("MainWnd", kHeaderKeys[c]);
  folderWord_ = LanguageStore::Instance().Text("MainWnd", "FolderSize");
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

void FileListModel::ShowAll(std::vector<uint32_t> indices) {
  beginResetModel();
  all_ = std::move(indices);
  Narrow();
  endResetModel();
}

void FileListModel::ShowResults(std::vector<uint32_t> indices) {
  listing_.reset();
  ShowAll(std::move(indices));
}

void FileListModel::ShowListing(std::shared_ptr<const RecordArena> listing,
                                const std::string& folderPath) {
  std::vector<uint32_t> indices(listing ? listing->Size() : 0);
  std::iota(indices.begin(), indices.end(), 0u);
  listing_ = listing ? std::move(listing) : std::make_shared<RecordArena>();
  listingPath_ = folderPath;
  ShowAll(std::move(indices));
}

void FileListModel::Clear() { ShowResults({}); }

FoundRecord FileListModel::RecordAt(int row) const {
  return Arena().Full(rows_[static_cast<size_t>(row)]);
}

const std::string& FileListModel::PathOf(uint32_t index) const {
  return listing_ ? listingPath_ : results_.Path(index);
}

bool FileListModel::IsChecked(uint32_t index) const {
  return listing_ ? results_.IsKeyChecked(listing_->Key(index)) : results_.IsChecked(index);
}

void FileListModel::SetChecked(uint32_t index, bool checked) {
  if (!listing_) {
    results_.SetChecked(index, checked);
    return;
  }
  int64_t result = results_.IndexOfKey(listing_->Key(index));
  if (result >= 0)
    results_.SetChecked(static_cast<uint32_t>(result), checked);
  else
    results_.SetRecordChecked(listing_->Full(index), checked);
}

void FileListModel::SetCriteria(const RecordCriteria& criteria) {
  beginResetModel();
  criteria_ = criteria;
  Narrow();
  endResetModel();
}

void FileListModel::Narrow() {
  RecordFilter filter(criteria_);
  if (filter.TakesAll()) {
    rows_ = all_;
  } else {
    rows_.clear();
    const RecordArena& arena = Arena();
    FoundRecord record{};
    for (uint32_t i : all_) {
      arena.CopyFixed(i, record);
      if (filter.Takes(record, arena.Name(i))) rows_.push_back(i);
    }
  }
  CountShown();
}

void FileListModel::CountShown() {
  checkedRows_ = 0;
  shownBytes_ = 0;
  const RecordArena& arena = Arena();
  for (uint32_t i : rows_) {
    checkedRows_ += IsChecked(i);
    shownBytes_ += arena.FileSize(i);
  }
}

void FileListModel::CheckAll(bool checked) {
  for (uint32_t i : rows_) SetChecked(i, checked);
  RefreshChecks();
  emit ChecksChanged();
}

void FileListModel::RefreshChecks() {
  CountShown();
  if (!rows_.empty())
    emit dataChanged(index(0, kName), index(rowCount() - 1, kName), {Qt::CheckStateRole});
}

FileListModel::Direction FileListModel::ClickHeader(int column) {
  if (column < 0 || column >= kColumns) return Direction::kNone;
  Direction& direction = directions_[column];
  if (StartsDescending(column))
    direction =
        direction == Direction::kDescending ? Direction::kAscending : Direction::kDescending;
  else
    direction = direction == Direction::kAscending ? Direction::kDescending : Direction::kAscending;
  Sort(column, direction == Direction::kAscending);
  return direction;
}

void FileListModel::Sort(int column, bool ascending) {
  const RecordArena& arena = Arena();
  auto order = [ascending](const auto& a, const auto& b) { return ascending ? a < b : b < a; };
  if (column == kSize || column == kModified || column == kCreated) {
    // Sizes as numbers, and times by when they were, not by their text:
    // "2024-10-1" would otherwise come before "2024-9-30".
    // The keys are read out once, beside their rows, so sorting touches
    // one small array rather than the records.
    std::vector<std::pair<uint64_t, uint32_t>> keyed;
    keyed.reserve(all_.size());
    for (uint32_t i : all_)
      keyed.emplace_back(column == kSize       ? arena.FileSize(i)
                         : column == kModified ? arena.WriteTime(i)
                                               : arena.CreateTime(i),
                         i);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&](const auto& a, const auto& b) { return order(a.first, b.first); });
    for (size_t row = 0; row < keyed.size(); ++row) all_[row] = keyed[row].second;
  } else {
    TextKeys keys(arena.Size());
    for (uint32_t i : all_) {
      std::string_view name = arena.Name(i);
      if (column == kName) keys.Add(i, name, {});
      else if (column == kPath) keys.Add(i, PathOf(i), name);
      else keys.Add(i, arena.IsFolder(i) ? std::string_view() : NameSuffix(name), name);
    }
    std::stable_sort(all_.begin(), all_.end(),
                     [&](uint32_t a, uint32_t b) { return order(keys.Of(a), keys.Of(b)); });
  }
  // The same files stay selected and current: rows move, they are not
  // replaced.
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  QModelIndexList before = persistentIndexList();
  std::vector<uint32_t> oldRows = std::move(rows_);
  Narrow();
  std::vector<int> newRowOf(arena.Size(), -1);
  for (size_t row = 0; row < rows_.size(); ++row) newRowOf[rows_[row]] = static_cast<int>(row);
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& old : before) {
    int row = old.row() < static_cast<int>(oldRows.size()) ? newRowOf[oldRows[old.row()]] : -1;
    after.push_back(row < 0 ? QModelIndex() : index(row, old.column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QString FileListModel::CellText(uint32_t index, int column) const {
  switch (column) {
    case kName:
      return RecordName(Arena().Full(index));
    case kPath:
      return QString::fromStdString(PathOf(index));
    case kSize:
      return RecordSizeText(Arena().Full(index), folderWord_);
    case kType:
      return RecordTypeText(Arena().Full(index));
    case kModified:
      return FileTimeText(Arena().WriteTime(index));
    case kCreated:
      return FileTimeText(Arena().CreateTime(index));
    default:
      return {};
  }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  uint32_t at = rows_[static_cast<size_t>(index.row())];
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return CellText(at, index.column());
  if (index.column() != kName) {
    if (role == Qt::TextAlignmentRole && index.column() == kSize)
      return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
  }
  if (role == Qt::CheckStateRole) return IsChecked(at) ? Qt::Checked : Qt::Unchecked;
  if (role == Qt::DecorationRole)
    return ExtensionIcon(Arena().IsFolder(at) ? "folder" : LowerExtension(Arena().Name(at)),
                         Arena().ContentOk(at));
  return {};
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::CheckStateRole || index.column() != kName) return false;
  uint32_t at = rows_[static_cast<size_t>(index.row())];
  bool checked = value.toInt() == Qt::Checked;
  if (IsChecked(at) == checked) return true;
  SetChecked(at, checked);
  checkedRows_ += checked ? 1 : -1;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit ChecksChanged();
  return true;
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (index.isValid() && index.column() == kName) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
  if (role == Qt::DisplayRole) return headers_[section];
  return {};
}

}  // namespace salvora
