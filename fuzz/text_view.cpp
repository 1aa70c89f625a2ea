// Formats arbitrary bytes as the preview's text view.
#include <cstdint>

#include "previewclient/TextView.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  salvora::FormatTextView({data, size});
  return 0;
}
