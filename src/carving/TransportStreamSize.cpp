// A transport stream ends where its 188-byte packet grid breaks, or where the
// scan stops, whichever comes first; the sectors it covers are remembered so
// that its own packets are not carved again as new streams.
#include "carving/ForwardScan.h"
#include "carving/MeasureRules.h"

namespace salvora {
namespace {

constexpr int64_t kPacketBytes = 188;
constexpr uint8_t kSyncByte = 0x47;

class PacketGridRule : public ChunkRule {
 public:
  explicit PacketGridRule(uint32_t sectorBytes)
      : carry_(sectorBytes % kPacketBytes), next_(sectorBytes - carry_) {}

  // Once the grid broke, the end is known and nothing after it matters.
  bool OnChunk(CarveContext&, const ScanChunk& chunk, uint64_t& size) override {
    next_ += kPacketBytes;
    int64_t span = static_cast<int64_t>(chunk.bytes) + carry_ - kPacketBytes;
    for (int64_t j = 0; span > 0 && j < span / kPacketBytes; ++j) {
      int64_t offset = (kPacketBytes - carry_) + kPacketBytes * j;
      if (chunk.data[offset] != kSyncByte) {
        size = Finish(chunk.base + chunk.usable);
        return true;
      }
      next_ += kPacketBytes;
    }
    carry_ = span > 0 ? span % kPacketBytes : carry_;
    return false;
  }
  uint64_t Finish(uint64_t size) override { return next_ != 0 && next_ < size ? next_ : size; }

 private:
  int64_t carry_;
  uint64_t next_;
};

}  // namespace

uint64_t MeasureTransportStream(CarveContext& context, const uint8_t*, uint32_t) {
  if (!context.SectorSizeUsable()) return 0;
  PacketGridRule rule(context.SectorBytes());
  uint64_t size = RunForwardScan(context, k64GiB, rule);
  uint64_t sectors = (size + context.SectorBytes() - 1) / context.SectorBytes();
  context.tsRanges.push_back(
      {context.fileStartSector, context.fileStartSector + (sectors ? sectors - 1 : 0)});
  return size;
}

}  // namespace salvora
