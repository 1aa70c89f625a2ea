#include "app/FileListModel.h"

#include <algorithm>

#include "app/ExtensionIcon.h"
#include "app/LanguageStore.h"
#include "app/RecordText.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

const char* const kHeaderKeys[] = {"FileName", "Path", "Size", "Type", "ModifiedTime",
                                   "CreatedTime"};

// Columns whose first click sorts from the largest or newest.
bool StartsDescending(int column) {
  return column == FileListModel::kSize || column == FileListModel::kModified ||
         column == FileListModel::kCreated;
}

uint64_t TimeOf(const FoundRecord& record, int column) {
  return column == FileListModel::kModified ? record.writeTime : record.createTime;
}

}  // namespace

FileListModel::FileListModel(ResultSet& results, QObject* parent)
    : QAbstractTableModel(parent), results_(results) {
  Retext();
}

void FileListModel::Retext() {
  for (int c = 0; c < kColumns; ++c) headers_[c] = LanguageStore::Instance().Text("MainWnd", kHeaderKeys[c]);
  folderWord_ = LanguageStore::Instance().Text("MainWnd", "FolderSize");
  emit headerDataChanged(Qt::Horizontal, 0, kColumns - 1);
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumns - 1));
}

void FileListModel::ShowResults(const std::vector<uint32_t>& indices) {
  beginResetModel();
  listed_.clear();
  rows_.clear();
  rows_.reserve(indices.size());
  for (uint32_t i : indices) rows_.push_back({&results_.Record(i), &results_.Path(i)});
  CountChecked();
  endResetModel();
}

void FileListModel::ShowRecords(std::vector<FoundRecord> records, const std::string& folderPath) {
  beginResetModel();
  listed_ = std::move(records);
  listedPath_ = folderPath;
  rows_.clear();
  rows_.reserve(listed_.size());
  for (const FoundRecord& record : listed_) rows_.push_back({&record, &listedPath_});
  CountChecked();
  endResetModel();
}

void FileListModel::Clear() { ShowResults({}); }

void FileListModel::CountChecked() {
  checkedRows_ = 0;
  for (const Row& row : rows_) checkedRows_ += results_.IsRecordChecked(*row.record);
}

void FileListModel::CheckAll(bool checked) {
  for (const Row& row : rows_) results_.SetRecordChecked(*row.record, checked);
  RefreshChecks();
  emit ChecksChanged();
}

void FileListModel::RefreshChecks() {
  CountChecked();
  if (!rows_.empty()) emit dataChanged(index(0, kName), index(rowCount() - 1, kName), {Qt::CheckStateRole});
}

FileListModel::Direction FileListModel::ClickHeader(int column) {
  if (column < 0 || column >= kColumns) return Direction::kNone;
  Direction& direction = directions_[column];
  if (StartsDescending(column))
    direction = direction == Direction::kDescending ? Direction::kAscending : Direction::kDescending;
  else
    direction = direction == Direction::kAscending ? Direction::kDescending : Direction::kAscending;
  Sort(column, direction == Direction::kAscending);
  return direction;
}

void FileListModel::Sort(int column, bool ascending) {
  beginResetModel();
  auto order = [ascending](const auto& a, const auto& b) { return ascending ? a < b : b < a; };
  if (column == kSize || column == kModified || column == kCreated) {
    // Sizes as numbers, and times by when they were, not by their text:
    // "2024-10-1" would otherwise come before "2024-9-30".
    std::vector<std::pair<uint64_t, Row>> keyed;
    keyed.reserve(rows_.size());
    for (const Row& row : rows_)
      keyed.emplace_back(column == kSize ? row.record->fileSize : TimeOf(*row.record, column), row);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&](const auto& a, const auto& b) { return order(a.first, b.first); });
    for (size_t i = 0; i < rows_.size(); ++i) rows_[i] = keyed[i].second;
  } else {
    std::vector<std::pair<QString, Row>> keyed;
    keyed.reserve(rows_.size());
    for (const Row& row : rows_) keyed.emplace_back(CellText(row, column).toCaseFolded(), row);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&](const auto& a, const auto& b) { return order(a.first, b.first); });
    for (size_t i = 0; i < rows_.size(); ++i) rows_[i] = keyed[i].second;
  }
  endResetModel();
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QString FileListModel::CellText(const Row& row, int column) const {
  const FoundRecord& record = *row.record;
  switch (column) {
    case kName: return RecordName(record);
    case kPath: return QString::fromStdString(*row.path);
    case kSize: return RecordSizeText(record, folderWord_);
    case kType: return RecordTypeText(record);
    case kModified: return FileTimeText(record.writeTime);
    case kCreated: return FileTimeText(record.createTime);
    default: return {};
  }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Row& row = rows_[static_cast<size_t>(index.row())];
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return CellText(row, index.column());
  if (index.column() != kName) {
    if (role == Qt::TextAlignmentRole && index.column() == kSize)
      return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
  }
  if (role == Qt::CheckStateRole)
    return results_.IsRecordChecked(*row.record) ? Qt::Checked : Qt::Unchecked;
  if (role == Qt::DecorationRole) {
    std::string_view name(row.record->name, strnlen(row.record->name, kRecordNameBytes));
    return ExtensionIcon(row.record->isFolder ? "folder" : LowerExtension(name),
                         row.record->contentOk != 0);
  }
  return {};
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::CheckStateRole || index.column() != kName) return false;
  const FoundRecord& record = RecordAt(index.row());
  bool checked = value.toInt() == Qt::Checked;
  if (results_.IsRecordChecked(record) == checked) return true;
  results_.SetRecordChecked(record, checked);
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
