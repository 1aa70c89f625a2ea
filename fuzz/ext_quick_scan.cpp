// A small ext volume from the fuzzer, whole, scanned by the quick ext
// engine: every find listed and recovered, the free space enumerated.
#include <cstdint>
#include <vector>

#include "QuickEngineRun.h"
#include "ext/FastExtRecovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kMaxImage = 4u << 20;
  if (size < 4096 || size > kMaxImage) return 0;
  std::vector<uint8_t> image(data, data + size);
  image.resize((size + 511) / 512 * 512, 0);
  salvora::fuzz::RunQuickEngine<salvora::CFastExtRecovery>(image);
  return 0;
}
