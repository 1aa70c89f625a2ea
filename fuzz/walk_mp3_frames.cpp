// The frame walk of MP3s without a tag over a disk of any content.
#include "WalkFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return salvora::fuzz::RunWalk(salvora::WalkMp3Frames, data, size);
}
