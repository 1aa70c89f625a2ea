// One sector of any content identified as a deep scan would, with the
// detectors that read on reading the same bytes as a small disk.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "CarvingFuzzImage.h"
#include "carving/CarveContext.h"
#include "carving/SignatureTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  salvora::SectorSource source;
  salvora::fuzz::AttachImage(source, data, size);
  salvora::CarveContext context;
  context.source = &source;
  for (int follow : {0, 1}) {
    context.tsFollowFlag = context.mtsFollowFlag = follow;
    salvora::IdentifySector(context, data, static_cast<uint32_t>(size));
  }
  return 0;
}
