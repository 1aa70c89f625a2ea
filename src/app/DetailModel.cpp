#include "app/DetailModel.h"

#include <QFont>
#include <QIcon>

namespace salvora {

void DetailModel::Add(const std::vector<DetailRow>& rows) {
  int newFailures = 0, newSuccesses = 0;
  for (const DetailRow& row : rows) ++(row.failed ? newFailures : newSuccesses);
  if (newFailures > 0) {
    beginInsertRows({}, 0, newFailures - 1);
    for (const DetailRow& row : rows)
      if (row.failed) failures_.push_back(row);
    endInsertRows();
  }
  if (newSuccesses > 0) {
    int end = rowCount();
    beginInsertRows({}, end, end + newSuccesses - 1);
    for (const DetailRow& row : rows)
      if (!row.failed) successes_.push_back(row);
    endInsertRows();
  }
}

void DetailModel::SetHeaders(const QString& path, const QString& status) {
  headers_[0] = path;
  headers_[1] = status;
  emit headerDataChanged(Qt::Horizontal, 0, 1);
}

int DetailModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(failures_.size() + successes_.size());
}

int DetailModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

const DetailRow& DetailModel::RowAt(int row) const {
  size_t at = static_cast<size_t>(row);
  if (at < failures_.size()) return failures_[failures_.size() - 1 - at];
  return successes_[at - failures_.size()];
}

QVariant DetailModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const DetailRow& row = RowAt(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return index.column() == 0 ? row.path : row.status;
    // A failure is marked by a sign and weight rather than a colour of its
    // own, which a dark or high-contrast theme could make unreadable.
    case Qt::DecorationRole:
      return row.failed && index.column() == 0 ? QVariant(QIcon(":/skin/icons/warning.svg"))
                                               : QVariant();
    case Qt::FontRole: {
      if (!row.failed) return {};
      QFont bold;
      bold.setBold(true);
      return bold;
    }
    case Qt::TextAlignmentRole:
      return index.column() == 1 ? QVariant(Qt::AlignCenter)
                                 : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant DetailModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 1)
    return {};
  return headers_[section];
}

}  // namespace salvora
