#include <algorithm>

#include "carving/ByteOrder.h"
#include "carving/MarkerScans.h"
#include "carving/MeasureRules.h"
#include "carving/PatternSearch.h"

namespace salvora {
namespace {

const uint8_t kSequenceHeader[] = {0x00, 0x00, 0x01, 0xB3};
const uint8_t kSequenceEnd[] = {0x00, 0x00, 0x01, 0xB7};
const uint8_t kProgramEnd[] = {0x00, 0x00, 0x01, 0xB9};
const char kMp4Producer[] = "freeIsoMedia File Produced";
const uint8_t kRealMediaIndex[] = {'I',  'N',  'D',  'X',  0x00, 0x00, 0x00, 0x14, 0x00, 0x00,
                                   0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00};
const uint8_t kId3v1[] = {'T', 'A', 'G'};
const uint8_t kApeTag[] = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X', 0xD0, 0x07, 0x00, 0x00};
constexpr size_t kApeTagKey = 10;  // the text and the first half of the version
constexpr uint64_t kApeFooterBytes = 32;
constexpr uint64_t kId3v1Bytes = 128;

// The producer text ends the file together with the non-zero bytes after it.
class Mp4ProducerRule : public ChunkRule {
 public:
  bool OnChunk(CarveContext&, const ScanChunk& chunk, uint64_t& size) override {
    size_t at = FindForward(chunk.data, chunk.bytes, kMp4Producer, sizeof(kMp4Producer) - 1);
    if (at == kNoMatch) return false;
    size_t end = at + sizeof(kMp4Producer) - 1;
    while (end < chunk.bytes && chunk.data[end] != 0) ++end;
    size = chunk.base + end;
    return true;
  }
};

// The tag's header and footer carry the same key; the footer closes it.
class ApeTagRule : public ChunkRule {
 public:
  bool OnChunk(CarveContext&, const ScanChunk& chunk, uint64_t& size) override {
    size_t first = FindForward(chunk.data, chunk.bytes, kApeTag, kApeTagKey);
    if (first == kNoMatch) return false;
    size_t from = first + kApeTagKey;
    size_t second = FindForward(chunk.data + from, chunk.bytes - from, kApeTag, kApeTagKey);
    size = second == kNoMatch ? chunk.base + chunk.bytes
                              : chunk.base + from + second + kApeFooterBytes;
    return true;
  }
};

// Track chunks are counted down from the header's track count; their
// lengths add up to the file's size.
class MidiTrackRule : public ChunkRule {
 public:
  explicit MidiTrackRule(int64_t tracks) : tracksLeft_(tracks) {}

  // Counts the tracks in `buffer` from `from`; true once the last was seen.
  bool CountTracks(const uint8_t* buffer, size_t length, size_t from) {
    while (from < length) {
      size_t at = FindForward(buffer + from, length - from, "MTrk", 4);
      if (at == kNoMatch) return false;
      at += from;
      --tracksLeft_;
      if (length - (at + 4) < 4) return false;
      total_ += 8 + static_cast<uint64_t>(Be32(buffer + at + 4));
      if (tracksLeft_ == 0) return true;
      from = at + 4;
    }
    return false;
  }

  bool OnChunk(CarveContext&, const ScanChunk& chunk, uint64_t& size) override {
    if (!CountTracks(chunk.data, chunk.bytes, 0)) return false;
    size = std::min(total_, chunk.base + chunk.bytes);
    return true;
  }
  uint64_t Total() const { return total_; }

 private:
  int64_t tracksLeft_;
  uint64_t total_ = 14;  // the header chunk
};

}  // namespace

uint64_t MeasureMpeg(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  bool elementary = bytes && count >= 4 && HasBytes(bytes, kSequenceHeader);
  EndPattern end{elementary ? kSequenceEnd : kProgramEnd, 4, 4};
  FirstMarkerRule rule(end, true);
  return RunForwardScan(context, k6GiB, rule, StopKind::kAnyButMpeg);
}

uint64_t MeasureMp4(CarveContext& context, const uint8_t*, uint32_t) {
  Mp4ProducerRule rule;
  return RunForwardScan(context, k6GiB, rule);
}

uint64_t MeasureRealMedia(CarveContext& context, const uint8_t*, uint32_t) {
  FirstMarkerRule rule({kRealMediaIndex, sizeof(kRealMediaIndex), sizeof(kRealMediaIndex)}, false);
  return RunForwardScan(context, k6GiB, rule);
}

// An ID3v1 tag is the last 128 bytes of the file, starting with its text.
uint64_t MeasureMp3(CarveContext& context, const uint8_t*, uint32_t) {
  CandidateEndRule rule({kId3v1, sizeof(kId3v1), kId3v1Bytes}, false);
  return RunForwardScan(context, k2GiB, rule);
}

uint64_t MeasureApe(CarveContext& context, const uint8_t*, uint32_t) {
  ApeTagRule rule;
  return RunForwardScan(context, k2GiB, rule);
}

// The first track chunk stands in the recognised sector (the detector
// requires it at offset 14), so counting starts there.
uint64_t MeasureMidi(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 18) return count;
  MidiTrackRule rule(Be16(bytes + 10));
  if (rule.CountTracks(bytes, count, 14)) return std::min<uint64_t>(rule.Total(), k8MiB + count);
  return RunForwardScan(context, k8MiB, rule);
}

}  // namespace salvora
