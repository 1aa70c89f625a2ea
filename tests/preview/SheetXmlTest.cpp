// Edge cases of the spreadsheet readers that office programs write rarely
// but damaged or hostile files may hold.
#include "preview/SheetXml.h"

#include <gtest/gtest.h>

#include "preview/CsvCells.h"

namespace salvora::preview {
namespace {

std::string Format(const CellGrid& grid) { return grid.Format().toStdString(); }

TEST(SheetXmlTest, HugeRepeatCountsInOdsFillOnlyTheGrid) {
  std::string content =
      "<office:document-content xmlns:office='o' xmlns:table='t' xmlns:text='x'><table:table>"
      "<table:table-row table:number-rows-repeated='2'>"
      "<table:table-cell table:number-columns-repeated='1000000000'><text:p>v</text:p></table:table-cell>"
      "</table:table-row>"
      "<table:table-row table:number-rows-repeated='9223372036854775807'><table:table-cell/></table:table-row>"
      "<table:table-row><table:table-cell><text:p>never</text:p></table:table-cell></table:table-row>"
      "</table:table><table:table><table:table-row><table:table-cell><text:p>second table</text:p>"
      "</table:table-cell></table:table-row></table:table></office:document-content>";
  MemoryChunkSource source(content);
  std::string row = "v\tv\tv\tv\tv\tv\tv\tv\tv\tv\n";
  EXPECT_EQ(Format(ReadOdsTable(source)), row + row);
}

TEST(SheetXmlTest, XlsxCellsOutsideTheGridAndMissingSharedStringsAreLeftEmpty) {
  std::string sheet =
      "<worksheet><sheetData><row r='1'><c r='A1' t='s'><v>1</v></c><c r='K1'><v>11</v></c>"
      "<c r='B1' t='s'><v>99999999999</v></c><c t='b'><v>1</v></c><c r='ZZZZZZZ1'><v>x</v></c></row>"
      "<row r='11'><c r='A11'><v>below</v></c></row></sheetData></worksheet>";
  std::string strings = "<sst><si><t>zero</t></si><si><r><t>o</t></r><r><t>ne</t></r><rPh><t>ignored</t></rPh></si></sst>";
  MemoryChunkSource sheetSource(sheet);
  XlsxCorner corner = ReadXlsxWorksheet(sheetSource);
  MemoryChunkSource stringSource(strings);
  ResolveSharedStrings(stringSource, corner);
  // A malformed reference counts as the next column.
  EXPECT_EQ(Format(corner.grid), "one\t\tTRUE\tx\n");
}

TEST(SheetXmlTest, CsvQuotesAndDelimiters) {
  EXPECT_EQ(Format(ReadCsvCells("a;\"b;c\";\"say \"\"hi\"\"\"\r\n\"two\nlines\";x\n")),
            "a\tb;c\tsay \"hi\"\ntwo lines\tx\n");
  EXPECT_EQ(Format(ReadCsvCells("\"never closed,1,2")), "never closed,1,2\n");
}

}  // namespace
}  // namespace salvora::preview
