// Runs one of the preview helper's document XML readers, chosen by the first
// byte, over the rest of the input as the part's XML.
#include <cstdint>
#include <string_view>

#include "preview/CsvCells.h"
#include "preview/DocumentKind.h"
#include "preview/ChunkSource.h"
#include "preview/DocumentXmlText.h"
#include "preview/SheetXml.h"

using namespace salvora::preview;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view xml(reinterpret_cast<const char*>(data + 1), size - 1);
  MemoryChunkSource source(xml);
  switch (data[0] % 6) {
    case 0: {
      TextCollector out(kWordTextChars);
      AppendOoxmlText(source, out);
      break;
    }
    case 1: {
      TextCollector out(kWordTextChars);
      AppendOdfText(source, out);
      break;
    }
    case 2: {
      TextCollector out(kSlideTextChars);
      AppendOdfText(source, out, kSlideCount);
      break;
    }
    case 3: {
      XlsxCorner corner = ReadXlsxWorksheet(source);
      MemoryChunkSource strings(xml);
      ResolveSharedStrings(strings, corner);
      corner.grid.Format();
      break;
    }
    case 4:
      ReadOdsTable(source).Format();
      break;
    default:
      ReadCsvCells(xml).Format();
      break;
  }
  return 0;
}
