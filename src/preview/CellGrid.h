#pragma once
// The corner of a spreadsheet that a preview shows: the first 10 rows and
// 10 columns. Cells are written out row by row, separated by tabs, rows by
// line breaks, so that neighbouring values stay apart.
#include <QString>
#include <array>

namespace salvora::preview {

class CellGrid {
 public:
  static constexpr int kRows = 10;
  static constexpr int kColumns = 10;
  // Characters kept of one cell.
  static constexpr qsizetype kMaxCellChars = 1024;

  static bool Inside(long long row, long long column) {
    return row >= 0 && row < kRows && column >= 0 && column < kColumns;
  }
  // Cells outside the grid are ignored.
  void Set(long long row, long long column, const QString& text);
  const QString& At(int row, int column) const { return cells_[row][column]; }
  // Trailing empty cells of a row and trailing empty rows are left out.
  QString Format() const;

 private:
  std::array<std::array<QString, kColumns>, kRows> cells_;
};

}  // namespace salvora::preview
