#pragma once
// The results list: every found file of the chosen type node or folder
// that the search takes, one row each, with its check box. Rows are indices
// into records held compactly elsewhere (the result set or a folder
// listing); nothing per row is a widget or a copy of a record.
#include <QAbstractTableModel>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "app/ResultSet.h"
#include "results/RecordFilter.h"

namespace salvora {

class FileListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kName, kPath, kSize, kType, kModified, kCreated, kColumns };
  enum class Direction { kNone, kAscending, kDescending };

  explicit FileListModel(ResultSet& results, QObject* parent = nullptr);

  // Shows the results with these indices, in this order.
  void ShowResults(std::vector<uint32_t> indices);
  // Shows the records of a folder listing (shared, never copied).
  void ShowListing(std::shared_ptr<const RecordArena> listing, const std::string& folderPath);
  void Clear();

  // Rows the criteria do not take are hidden; the sort stays.
  void SetCriteria(const RecordCriteria& criteria);
  // Rows shown before the search narrowed them.
  size_t UnfilteredRows() const { return all_.size(); }
  uint64_t ShownBytes() const { return shownBytes_; }

  FoundRecord RecordAt(int row) const;
  int CheckedRows() const { return checkedRows_; }
  // Checks or unchecks every row shown.
  void CheckAll(bool checked);
  // A click on a header: flips that column's direction the way its kind
  // wants, sorts, and returns the new direction. The selection stays on
  // the same files.
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
  const RecordArena& Arena() const { return listing_ ? *listing_ : results_.Records(); }
  const std::string& PathOf(uint32_t index) const;
  bool IsChecked(uint32_t index) const;
  void SetChecked(uint32_t index, bool checked);
  QString CellText(uint32_t index, int column) const;
  void ShowAll(std::vector<uint32_t> indices);
  void Sort(int column, bool ascending);
  void Narrow();
  void CountShown();

  ResultSet& results_;
  std::shared_ptr<const RecordArena> listing_;  // null when rows are results
  std::string listingPath_;
  std::vector<uint32_t> all_;   // the node's or folder's records, in the shown order
  std::vector<uint32_t> rows_;  // those the criteria take
  RecordCriteria criteria_;
  int checkedRows_ = 0;
  uint64_t shownBytes_ = 0;
  Direction directions_[kColumns] = {};
  QString headers_[kColumns];
  QString folderWord_;
};

}  // namespace salvora
