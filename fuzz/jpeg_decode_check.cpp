// The decode check of carved JPEGs over a disk of any content: whatever a
// hostile picture holds, the check answers and never reads past the file.
#include <cstdlib>

#include "CarvingFuzzImage.h"
#include "carving/JpegDecodeCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  salvora::SectorSource source;
  salvora::fuzz::AttachImage(source, data, size);
  salvora::CarveContext context;
  context.source = &source;
  salvora::CheckJpegDecodes(context, size);
  return 0;
}
