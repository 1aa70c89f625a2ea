// A WAVE file's length. Its RIFF header states it, except in recordings
// written as a stream, which leave the size unset (0, or all bits set)
// because they never went back to fill it in. Such a file runs until
// another file or file-system metadata begins, or until a stretch of zeros
// too long for a recording shows that the audio has ended; its length is
// a guess and is marked as one.
#include <algorithm>

#include "carving/ByteOrder.h"
#include "carving/MeasureRules.h"

namespace salvora {
namespace {

constexpr uint32_t kUnsetSize = 0xFFFFFFFF;
constexpr uint32_t kRiffHeader = 12;

class AudioUntilSilenceRule : public ChunkRule {
 public:
  bool OnChunk(CarveContext&, const ScanChunk& chunk, uint64_t& size) override {
    const uint8_t* end = chunk.data + chunk.usable;
    if (chunk.usable < kScanBufferBytes) return false;
    if (std::find_if(chunk.data, end, [](uint8_t b) { return b != 0; }) != end) return false;
    size = chunk.base;
    return true;
  }
};

}  // namespace

uint64_t MeasureWave(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < kRiffHeader) return MeasureRiff(context, bytes, count);
  const uint32_t stated = Le32(bytes + 4);
  if (stated != 0 && stated != kUnsetSize) return uint64_t{stated} + 8;
  context.sizeDoubtful = true;
  AudioUntilSilenceRule rule;
  return RunForwardScan(context, k4GiB, rule);
}

}  // namespace salvora
