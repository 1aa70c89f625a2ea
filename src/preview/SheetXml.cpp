#include "preview/SheetXml.h"

#include <algorithm>
#include <optional>
#include <set>

#include "preview/StreamingXml.h"

namespace salvora::preview {
namespace {

// Bounds for reading a cell reference such as "AB12": columns past XFD and
// rows past a billion are not cells of any spreadsheet program.
constexpr long long kMaxColumn = 16384;
constexpr long long kMaxRow = 1000000000;

struct CellPosition {
  long long row;
  long long column;
};

// "B3" → row 2, column 1 (zero-based); nothing for a malformed reference.
std::optional<CellPosition> ParseCellReference(const QString& reference) {
  long long column = 0;
  long long row = 0;
  qsizetype i = 0;
  for (; i < reference.size() && reference[i].isLetter(); ++i) {
    char16_t letter = reference[i].toUpper().unicode();
    if (letter < u'A' || letter > u'Z') return std::nullopt;
    column = column * 26 + (letter - u'A' + 1);
    if (column > kMaxColumn) return std::nullopt;
  }
  for (qsizetype digits = i; i < reference.size(); ++i) {
    char16_t digit = reference[i].unicode();
    if (digit < u'0' || digit > u'9') return std::nullopt;
    row = row * 10 + (digit - u'0');
    if (row > kMaxRow || i - digits > 10) return std::nullopt;
  }
  if (column == 0 || row == 0) return std::nullopt;
  return CellPosition{row - 1, column - 1};
}

void AppendBounded(QString& cell, QStringView text) {
  qsizetype room = CellGrid::kMaxCellChars - cell.size();
  if (room > 0) cell.append(text.first(std::min(room, text.size())));
}

// A repeat count from an OpenDocument attribute; absent or absurd is 1.
long long RepeatCount(const StreamingXml& xml, const char* attribute) {
  long long count = xml.Attribute(attribute).toLongLong();
  return count < 1 ? 1 : count;
}

class XlsxWorksheetReader {
 public:
  explicit XlsxWorksheetReader(ChunkSource& source) : xml_(source) {}

  XlsxCorner Read() {
    while (xml_.Next()) {
      if (xml_.IsStart("row")) {
        if (!StartRow()) break;
      } else if (xml_.IsStart("c")) {
        StartCell();
      } else if (xml_.IsEnd("c")) {
        StoreCell();
      } else if (xml_.IsStart("rPh")) {
        ++phoneticDepth_;
      } else if (xml_.IsEnd("rPh")) {
        --phoneticDepth_;
      } else if (xml_.IsStart("v") || (xml_.IsStart("t") && phoneticDepth_ == 0)) {
        inValue_ = inCell_;
      } else if (xml_.IsEnd("v") || xml_.IsEnd("t")) {
        inValue_ = false;
      } else if (xml_.IsEnd("sheetData")) {
        break;
      } else if (inValue_ && xml_.reader().isCharacters()) {
        AppendBounded(value_, xml_.reader().text());
      }
    }
    return std::move(corner_);
  }

 private:
  // Rows come in order; reading stops at the first one below the grid.
  bool StartRow() {
    long long number = xml_.Attribute("r").toLongLong();
    row_ = number > 0 && number <= kMaxRow ? number - 1 : row_ + 1;
    column_ = -1;
    return row_ < CellGrid::kRows;
  }

  void StartCell() {
    std::optional<CellPosition> position = ParseCellReference(xml_.Attribute("r"));
    column_ = position ? position->column : column_ + 1;
    type_ = xml_.Attribute("t");
    value_.clear();
    inCell_ = true;
  }

  void StoreCell() {
    inCell_ = inValue_ = false;
    if (!CellGrid::Inside(row_, column_)) return;
    if (type_ == u"s") {
      bool isNumber = false;
      long long index = value_.trimmed().toLongLong(&isNumber);
      if (isNumber && index >= 0) corner_.sharedCells[{static_cast<int>(row_), static_cast<int>(column_)}] = index;
    } else if (type_ == u"b") {
      corner_.grid.Set(row_, column_, value_.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    } else {
      corner_.grid.Set(row_, column_, value_);
    }
  }

  StreamingXml xml_;
  XlsxCorner corner_;
  long long row_ = -1;
  long long column_ = -1;
  QString type_;
  QString value_;
  bool inCell_ = false;
  bool inValue_ = false;
  int phoneticDepth_ = 0;
};

class OdsTableReader {
 public:
  explicit OdsTableReader(ChunkSource& source) : xml_(source) {}

  CellGrid Read() {
    while (row_ < CellGrid::kRows && xml_.Next()) {
      if (xml_.IsStart("table")) {
        ++tableDepth_;
      } else if (xml_.IsEnd("table")) {
        if (--tableDepth_ == 0) break;
      } else if (tableDepth_ != 1) {
        continue;  // only the first table, not tables nested in its cells
      } else if (xml_.IsStart("table-row")) {
        StartRow();
      } else if (xml_.IsEnd("table-row")) {
        EndRow();
      } else if (xml_.IsStart("table-cell") || xml_.IsStart("covered-table-cell")) {
        StartCell();
      } else if (xml_.IsEnd("table-cell") || xml_.IsEnd("covered-table-cell")) {
        EndCell();
      } else if (xml_.IsStart("p")) {
        if (paragraphs_++ > 0) AppendBounded(cell_, u"\n");
        ++paragraphDepth_;
      } else if (xml_.IsEnd("p")) {
        --paragraphDepth_;
      } else if (paragraphDepth_ > 0 && xml_.IsStart("s")) {
        AppendBounded(cell_, u" ");
      } else if (paragraphDepth_ > 0 && xml_.reader().isCharacters()) {
        AppendBounded(cell_, xml_.reader().text());
      }
    }
    return std::move(grid_);
  }

 private:
  void StartRow() {
    rowRepeat_ = RepeatCount(xml_, "number-rows-repeated");
    column_ = 0;
    rowCells_.fill(QString());
  }

  // A repeated row is written as often as it fits; empty repeated rows (a
  // sheet's million blank rows) only move the row on.
  void EndRow() {
    long long copies = std::min<long long>(rowRepeat_, CellGrid::kRows - row_);
    for (long long copy = 0; copy < copies; ++copy, ++row_)
      for (int column = 0; column < CellGrid::kColumns; ++column) grid_.Set(row_, column, rowCells_[column]);
  }

  void StartCell() {
    cellRepeat_ = RepeatCount(xml_, "number-columns-repeated");
    cell_.clear();
    paragraphs_ = 0;
  }

  void EndCell() {
    long long copies = std::min<long long>(cellRepeat_, CellGrid::kColumns);
    for (long long copy = 0; copy < copies && column_ < CellGrid::kColumns; ++copy, ++column_)
      rowCells_[column_] = cell_;
    paragraphDepth_ = 0;
  }

  StreamingXml xml_;
  CellGrid grid_;
  std::array<QString, CellGrid::kColumns> rowCells_;
  QString cell_;
  int tableDepth_ = 0;
  long long row_ = 0;
  int column_ = 0;
  long long rowRepeat_ = 1;
  long long cellRepeat_ = 1;
  int paragraphs_ = 0;
  int paragraphDepth_ = 0;
};

}  // namespace

XlsxCorner ReadXlsxWorksheet(ChunkSource& worksheet) { return XlsxWorksheetReader(worksheet).Read(); }

void ResolveSharedStrings(ChunkSource& sharedStrings, XlsxCorner& corner) {
  if (corner.sharedCells.empty()) return;
  std::set<long long> wanted;
  for (const auto& [cell, index] : corner.sharedCells) wanted.insert(index);
  std::map<long long, QString> strings;
  StreamingXml xml(sharedStrings);
  long long index = -1;
  QString current;
  bool inText = false;
  int phoneticDepth = 0;
  while (xml.Next()) {
    if (xml.IsStart("si")) {
      if (++index > *wanted.rbegin()) break;
      current.clear();
    } else if (xml.IsEnd("si")) {
      if (wanted.count(index)) strings[index] = current;
    } else if (xml.IsStart("rPh")) {
      ++phoneticDepth;
    } else if (xml.IsEnd("rPh")) {
      --phoneticDepth;
    } else if (xml.IsStart("t")) {
      inText = phoneticDepth == 0;
    } else if (xml.IsEnd("t")) {
      inText = false;
    } else if (inText && xml.reader().isCharacters()) {
      AppendBounded(current, xml.reader().text());
    }
  }
  for (const auto& [cell, stringIndex] : corner.sharedCells) {
    auto found = strings.find(stringIndex);
    if (found != strings.end()) corner.grid.Set(cell.first, cell.second, found->second);
  }
}

CellGrid ReadOdsTable(ChunkSource& content) { return OdsTableReader(content).Read(); }

}  // namespace salvora::preview
