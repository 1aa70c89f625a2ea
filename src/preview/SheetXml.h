#pragma once
// The first 10 rows and columns of the first worksheet of an OOXML workbook
// or an OpenDocument spreadsheet.
#include <map>
#include <utility>

#include "preview/CellGrid.h"
#include "preview/ChunkSource.h"

namespace salvora::preview {

// An OOXML worksheet's corner. Cells that hold shared strings are listed in
// `sharedCells` by their index into the shared-string part.
struct XlsxCorner {
  CellGrid grid;
  std::map<std::pair<int, int>, long long> sharedCells;
};

XlsxCorner ReadXlsxWorksheet(ChunkSource& worksheet);

// Fills the shared-string cells from the workbook's shared-string part,
// reading it only as far as the highest index needed.
void ResolveSharedStrings(ChunkSource& sharedStrings, XlsxCorner& corner);

// The first table of an OpenDocument content.xml.
CellGrid ReadOdsTable(ChunkSource& content);

}  // namespace salvora::preview
