#include "carving/ByteOrder.h"
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

constexpr uint64_t k7zStartHeaderBytes = 32;
constexpr EndPattern kZipPattern{kZipEnd, sizeof(kZipEnd), 22};

// The last end-of-file mark of a chunk, else its last trailer keyword.
// Writers end the mark's line; that line end belongs to the file.
class PdfEndRule : public ChunkRule {
 public:
  bool OnChunk(CarveContext& context, const ScanChunk& chunk, uint64_t& size) override {
    if (endMark_.OnChunk(context, chunk, size)) {
      size += LineEndBytes(chunk, size);
      return true;
    }
    return trailer_.OnChunk(context, chunk, size);
  }

 private:
  static uint64_t LineEndBytes(const ScanChunk& chunk, uint64_t end) {
    uint64_t at = end - chunk.base;
    auto byteAt = [&](uint64_t i) { return i < chunk.bytes ? chunk.data[i] : 0; };
    if (byteAt(at) == '\r' && byteAt(at + 1) == '\n') return 2;
    return byteAt(at) == '\n' || byteAt(at) == '\r' ? 1 : 0;
  }

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

// The start header names where the archive's closing header lies and how
// long it is, which gives the exact end; the pattern of a compressed header
// only comes near it, so it serves when the start header is unusable.
uint64_t Measure7z(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (bytes && count >= k7zStartHeaderBytes) {
    uint64_t nextOffset = Le64(bytes + 12);
    uint64_t nextSize = Le64(bytes + 20);
    if (nextSize != 0 && nextOffset < k4GiB && nextSize < k4GiB &&
        k7zStartHeaderBytes + nextOffset + nextSize <= k4GiB)
      return k7zStartHeaderBytes + nextOffset + nextSize;
  }
  LastMarkerRule rule({k7zHeaderCoder, sizeof(k7zHeaderCoder), 27});
  return RunForwardScan(context, k4GiB, rule);
}

}  // namespace salvora
