// The FLAC structure walk (metadata blocks, then frames checked by their
// CRCs) over a disk of any content.
#include "WalkFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return salvora::fuzz::RunWalk(salvora::WalkFlac, data, size);
}
