#pragma once
// The rows of the recovery window's detail list: one per recovered file,
// failures on top in red (newest first), successes below in the order they
// finished. A recovery may copy hundreds of thousands of files, so the rows
// are plain data behind a model, not widgets.
#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace salvora {

struct DetailRow {
  QString path;
  QString status;  // "Success", or the message text of the error
  bool failed = false;
};

class DetailModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Add(const std::vector<DetailRow>& rows);
  void SetHeaders(const QString& path, const QString& status);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const DetailRow& RowAt(int row) const;

  std::vector<DetailRow> failures_;   // shown in reverse
  std::vector<DetailRow> successes_;  // shown in order
  QString headers_[2];
};

}  // namespace salvora
