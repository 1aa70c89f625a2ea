#include "carving/MarkerScans.h"
#include "carving/MeasureRules.h"
#include "carving/PatternSearch.h"

namespace salvora {
namespace {

const uint8_t kPdfEnd[] = {'%', '%', 'E', 'O', 'F'};
const uint8_t kPdfTrailer[] = {'t', 'r', 'a', 'i', 'l', 'e', 'r'};
const uint8_t kZipEnd[] = {'P', 'K', 0x05, 0x06};
const uint8_t kRarEnd[] = {0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};
const uint8_t k7zHeaderCoder[] = {0x00, 0x07, 0x0B, 0x01, 0x00, 0x01,
                                  0x23, 0x03, 0x01, 0x01, 0x05, 0x5D};

constexpr EndPattern kZipPattern{kZipEnd, sizeof(kZipEnd), 22};

// The last end-of-file mark of a chunk, else its last trailer keyword.
class PdfEndRule : public ChunkRule {
 public:
  bool OnChunk(CarveContext& context, const ScanChunk& chunk, uint64_t& size) override {
    return endMark_.OnChunk(context, chunk, size) || trailer_.OnChunk(context, chunk, size);
  }

 private:
  LastMarkerRule endMark_{{kPdfEnd, sizeof(kPdfEnd), sizeof(kPdfEnd)}};
  LastMarkerRule trailer_{{kPdfTrailer, sizeof(kPdfTrailer), sizeof(kPdfTrailer)}};
};

}  // namespace

uint64_t MeasurePdf(CarveContext& context, const uint8_t*, uint32_t) {
  PdfEndRule rule;
  return RunForwardScan(context, k1GiB, rule);
}

uint64_t MeasureZip(CarveContext& context, const uint8_t*, uint32_t) {
  LastMarkerRule rule(kZipPattern);
  return RunForwardScan(context, k4GiB, rule);
}

uint64_t MeasureOoxml(CarveContext& context, const uint8_t*, uint32_t) {
  LastMarkerRule rule(kZipPattern);
  return RunForwardScan(context, kOfficeCap, rule);
}

uint64_t MeasureRar(CarveContext& context, const uint8_t*, uint32_t) {
  FirstMarkerRule rule({kRarEnd, sizeof(kRarEnd), sizeof(kRarEnd)}, true);
  return RunForwardScan(context, k4GiB, rule);
}

uint64_t Measure7z(CarveContext& context, const uint8_t*, uint32_t) {
  LastMarkerRule rule({k7zHeaderCoder, sizeof(k7zHeaderCoder), 27});
  return RunForwardScan(context, k4GiB, rule);
}

}  // namespace salvora
