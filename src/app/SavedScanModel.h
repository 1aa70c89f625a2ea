#pragma once
// The saved deep scans of the scan-log folder as rows: what was scanned,
// when the scan last saved its place, and how far it got.
#include <QAbstractTableModel>
#include <vector>

#include "results/ScanHistory.h"

namespace salvora {

class SavedScanModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kSource, kDate, kProgress, kColumnCount };

  explicit SavedScanModel(QObject* parent = nullptr);

  // Reads the index again: a scan or `salvora scans` may have changed it.
  void Reload();
  // The language changed: the rows and headers are worded anew.
  void Retext();
  const ScanHistoryEntry& EntryAt(int row) const { return entries_.at(static_cast<size_t>(row)); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<ScanHistoryEntry> entries_;
};

// What a saved scan read: its image file, or the disk and sectors of a volume.
QString SavedScanSource(const ScanHistoryEntry& entry);

}  // namespace salvora
