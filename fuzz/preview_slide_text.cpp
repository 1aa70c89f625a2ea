// Reads arbitrary bytes as a legacy PowerPoint file the way the preview
// helper's `text` command does: the compound file's stream, then its text
// atoms; and the same bytes as the stream itself.
#include <cstdint>
#include <string_view>

#include "preview/DocumentKind.h"
#include "preview/SlideText.h"

using namespace salvora::preview;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  PresentationText(bytes);
  TextCollector out(kSlideTextChars);
  AppendSlideText(bytes, out);
  return 0;
}
