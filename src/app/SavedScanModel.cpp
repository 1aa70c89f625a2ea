#include "app/SavedScanModel.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <string>

#include "app/LanguageStore.h"

namespace salvora {
namespace {

// The run folder is written whenever the scan saves its place, so its last
// change is when the scan stopped.
QString SavedDate(const ScanHistoryEntry& entry) {
  QDateTime changed = QFileInfo(QString::fromStdString(EntryResultFolder(entry))).lastModified();
  return changed.isValid() ? QLocale().toString(changed, QLocale::ShortFormat) : QString();
}

// The index is read from disk: the counts may be anything, so the percent
// is worked out without overflowing and capped.
QString Progress(const ScanHistoryEntry& entry) {
  ScanPosition position = PositionOf(entry);
  uint64_t sectors = EntrySectorCount(entry);
  uint64_t percent = 0;
  if (sectors != 0)
    percent =
        position.sectorsDone >= sectors
            ? 100
            : static_cast<uint64_t>(static_cast<long double>(position.sectorsDone) * 100 / sectors);
  return MsgFormat("MSG2301", {percent, position.filesFound});
}

}  // namespace

QString SavedScanSource(const ScanHistoryEntry& entry) {
  std::string image = EntryImagePath(entry);
  if (!image.empty()) return QString::fromStdString(image);
  return MsgFormat("MSG2300", {entry.key1, EntryFirstSector(entry), EntrySectorCount(entry)});
}

SavedScanModel::SavedScanModel(QObject* parent) : QAbstractTableModel(parent) { Reload(); }

void SavedScanModel::Reload() {
  beginResetModel();
  ScanHistory::Instance().Load();
  entries_ = ScanHistory::Instance().Entries();
  endResetModel();
}

void SavedScanModel::Retext() {
  emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
  if (!entries_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

int SavedScanModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int SavedScanModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant SavedScanModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
  const ScanHistoryEntry& entry = EntryAt(index.row());
  switch (index.column()) {
    case kSource:
      return SavedScanSource(entry);
    case kDate:
      return SavedDate(entry);
    case kProgress:
      return Progress(entry);
    default:
      return {};
  }
}

QVariant SavedScanModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kKeys[kColumnCount] = {"ColumnSource", "ColumnDate", "ColumnProgress"};
  if (section < 0 || section >= kColumnCount) return {};
  return LanguageStore::Instance().Text("SavedScansWnd", kKeys[section]);
}

}  // namespace salvora
