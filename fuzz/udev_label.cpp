// Decodes udev's escaped form of a volume label, which comes from the
// volume itself.
#include <cstdint>
#include <string>

#include "platform/UdevVolumeTags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string encoded(reinterpret_cast<const char*>(data), size);
  std::string decoded = salvora::DecodeUdevText(encoded);
  // Decoding only ever shortens: each escape of four bytes becomes one.
  if (decoded.size() > encoded.size()) __builtin_trap();
  return 0;
}
