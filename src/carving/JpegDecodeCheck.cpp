#include "carving/JpegDecodeCheck.h"

#include <turbojpeg.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace salvora {
namespace {

// Larger candidates are kept unjudged: the check must cost a deep scan
// little, and a file this large that the walk measured is rarely junk.
constexpr uint64_t kMaxJudgedBytes = 64ull << 20;
// No camera writes more pixels; a header that claims more is not a photo.
constexpr uint64_t kMaxPixels = 1ull << 30;

struct DecoderCloser {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using Decoder = std::unique_ptr<void, DecoderCloser>;

bool ReadCandidate(CarveContext& context, uint64_t size, std::vector<uint8_t>& bytes) {
  const uint32_t sectorBytes = context.SectorBytes();
  const uint64_t sectors = (size + sectorBytes - 1) / sectorBytes;
  if (sectors > context.SectorsLeftFrom(context.fileStartSector)) return false;
  bytes.resize(sectors * sectorBytes);
  const uint32_t chunk = kScanBufferBytes / sectorBytes;
  for (uint64_t done = 0; done < sectors;) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(chunk, sectors - done));
    if (!context.ReadExact(context.fileStartSector + done, n, bytes.data() + done * sectorBytes))
      return false;
    done += n;
  }
  bytes.resize(size);
  return true;
}

// The smallest scale the decoder offers (an eighth on every build).
tjscalingfactor SmallestScale() {
  int count = 0;
  tjscalingfactor* factors = tjGetScalingFactors(&count);
  tjscalingfactor smallest{1, 1};
  for (int i = 0; i < count; ++i)
    if (factors[i].num * smallest.denom < smallest.num * factors[i].denom) smallest = factors[i];
  return smallest;
}

}  // namespace

JpegVerdict CheckJpegDecodes(CarveContext& context, uint64_t size) {
  if (size > kMaxJudgedBytes || !context.source || !context.SectorSizeUsable())
    return JpegVerdict::kWhole;
  std::vector<uint8_t> bytes;
  // A candidate that cannot be read whole is left to the size rule's word.
  if (size == 0 || !ReadCandidate(context, size, bytes)) return JpegVerdict::kWhole;
  Decoder decoder(tjInitDecompress());
  if (!decoder) return JpegVerdict::kWhole;
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(decoder.get(), bytes.data(), bytes.size(), &width, &height,
                          &subsampling, &colorspace) != 0 ||
      width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxPixels)
    return JpegVerdict::kJunk;
  const tjscalingfactor scale = SmallestScale();
  const int scaledWidth = TJSCALED(width, scale), scaledHeight = TJSCALED(height, scale);
  std::vector<uint8_t> pixels(size_t(scaledWidth) * size_t(scaledHeight));
  const int flags = TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE | TJFLAG_STOPONWARNING;
  if (tjDecompress2(decoder.get(), bytes.data(), bytes.size(), pixels.data(), scaledWidth, 0,
                    scaledHeight, TJPF_GRAY, flags) == 0)
    return JpegVerdict::kWhole;
  return tjGetErrorCode(decoder.get()) == TJERR_WARNING ? JpegVerdict::kDamaged
                                                       : JpegVerdict::kJunk;
}

}  // namespace salvora
