#include "preview/CellGrid.h"

namespace salvora::preview {

void CellGrid::Set(long long row, long long column, const QString& text) {
  if (Inside(row, column)) cells_[row][column] = text.left(kMaxCellChars);
}

QString CellGrid::Format() const {
  QString text;
  qsizetype endOfLastRow = 0;
  for (const auto& row : cells_) {
    int used = kColumns;
    while (used > 0 && row[used - 1].isEmpty()) --used;
    for (int column = 0; column < used; ++column) {
      if (column > 0) text += u'\t';
      // A line break inside a cell would look like a new row.
      text += QString(row[column]).replace(u'\n', u' ').replace(u'\t', u' ');
    }
    text += u'\n';
    if (used > 0) endOfLastRow = text.size();
  }
  text.truncate(endOfLastRow);
  return text;
}

}  // namespace salvora::preview
