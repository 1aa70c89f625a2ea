#pragma once
// The first 10 rows and columns of delimited text: .csv files, and what
// xls2csv makes of a legacy workbook. Quoted fields may hold delimiters,
// doubled quotes and line breaks. The delimiter is whichever of comma,
// semicolon and tab occurs most often outside quotes in the first line.
#include <string_view>

#include "preview/CellGrid.h"

namespace salvora::preview {

CellGrid ReadCsvCells(std::string_view text);

}  // namespace salvora::preview
