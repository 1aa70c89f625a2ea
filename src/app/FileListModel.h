#pragma once
// The results list: every found file of the chosen type node or folder,
// one row each, with its check box. Rows point at records the result set
// or the folder listing holds; nothing per row is a widget.
#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

#include "app/ResultSet.h"

namespace salvora {

class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kName, kPath, kSize, kType, kModified, kCreated, kColumns };
  enum class Direction { kNone, kAscending, kDescending };

  explicit FileListModel(ResultSet& results, QObject* parent = nullptr);

  // Shows the results with these indices, in this order.
  void ShowResults(const std::vector<uint32_t>& indices);
  // Shows records that a folder listing gave (kept here).
  void ShowRecords(std::vector<FoundRecord> records, const std::string& folderPath);
  void Clear();

  const FoundRecord& RecordAt(int row) const { return *rows_[static_cast<size_t>(row)].record; }
  int CheckedRows() const { return checkedRows_; }
  // Checks or unchecks every row.
  void CheckAll(bool checked);
  // A click on a header: flips that column's direction the way its kind
  // wants, sorts, and returns the new direction.
  Direction ClickHeader(int column);
  Direction DirectionOf(int column) const { return directions_[column]; }
  // Check marks changed elsewhere (a type node, a folder).
  void RefreshChecks();
  void Retext();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 signals:
  // The user checked or unchecked rows.
  void ChecksChanged();

 private:
  struct Row {
    const FoundRecord* record;
    const std::string* path;
  };

  QString CellText(const Row& row, int column) const;
  void Sort(int column, bool ascending);
  void CountChecked();

  ResultSet& results_;
  std::vector<Row> rows_;
  std::vector<FoundRecord> listed_;  // a folder listing's records
  std::string listedPath_;
  int checkedRows_ = 0;
  Direction directions_[kColumns] = {};
  QString headers_[kColumns];
  QString folderWord_;
};

}  // namespace salvora
