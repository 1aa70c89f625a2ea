#include "carving/MarkerScans.h"
#include "carving/MeasureRules.h"
#include "carving/PatternSearch.h"

namespace salvora {
namespace {

const uint8_t kJpegEnd[] = {0xFF, 0xD9};
const uint8_t kGifTrailer[] = {0x00, 0x3B};
const uint8_t kPngEnd[] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};

constexpr EndPattern kJpegPattern{kJpegEnd, sizeof(kJpegEnd), 2};
constexpr EndPattern kGifPattern{kGifTrailer, sizeof(kGifTrailer), 2};
constexpr EndPattern kPngPattern{kPngEnd, sizeof(kPngEnd), 8};

// A picture smaller than a sector ends inside the recognised sector; the
// end must be found there, or the file would run on to the next file.
bool EndsInFirstSector(CarveContext& context, const uint8_t* bytes, uint32_t count,
                       const EndPattern& pattern, uint64_t& size) {
  size_t at = FindAlignedEnd(bytes, count, pattern, context.SectorBytes());
  if (at == kNoMatch) return false;
  size = at + pattern.endAfter;
  return true;
}

}  // namespace

// Only the first end marker of the first sector and of each chunk counts,
// as embedded thumbnails end with the same marker.
uint64_t MeasureJpeg(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  size_t at = FindForward(bytes, count, kJpegEnd, sizeof(kJpegEnd));
  if (at != kNoMatch && EndIsAligned(bytes, count, at + 2, context.SectorBytes())) return at + 2;
  CandidateEndRule rule(kJpegPattern, true);
  return RunForwardScan(context, k128MiB, rule);
}

uint64_t MeasureGif(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  uint64_t size = 0;
  if (bytes && EndsInFirstSector(context, bytes, count, kGifPattern, size)) return size;
  FirstMarkerRule rule(kGifPattern, true);
  return RunForwardScan(context, k128MiB, rule);
}

uint64_t MeasurePng(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  uint64_t size = 0;
  if (bytes && EndsInFirstSector(context, bytes, count, kPngPattern, size)) return size;
  FirstMarkerRule rule(kPngPattern, true);
  return RunForwardScan(context, k128MiB, rule);
}

}  // namespace salvora
