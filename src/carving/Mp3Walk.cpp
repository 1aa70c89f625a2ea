// An MP3's length: the ID3v2 tag states its own size, the MPEG audio
// frames that follow are walked header by header (each header gives its
// frame's length), and an APE or ID3v1 tag right after the last frame
// belongs to the file. A file without a closing tag ends with its last
// frame.
#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kId3HeaderBytes = 10;
constexpr uint8_t kId3HasFooter = 0x10;
constexpr uint64_t kId3v1Bytes = 128;
constexpr uint64_t kApeHeaderBytes = 32;
constexpr uint32_t kApeHasHeader = 0x80000000;
// Encoders may pad between the tag and the first frame.
constexpr uint64_t kMaxPadding = 0x10000;

// The fields of a frame header that every frame of one stream shares,
// and the length of this frame.
struct FrameHeader {
  uint32_t stream = 0;  // version, layer and sample-rate bits
  uint32_t bytes = 0;
};

bool ParseFrame(const uint8_t* p, FrameHeader& frame) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const uint32_t version = (p[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
  const uint32_t layer = (p[1] >> 1) & 3;    // 1: III, 2: II, 3: I
  const uint32_t bitrateIndex = p[2] >> 4;
  const uint32_t rateIndex = (p[2] >> 2) & 3;
  const uint32_t padding = (p[2] >> 1) & 1;
  if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
    return false;
  static const uint16_t kBitrates[2][3][15] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
  static const uint32_t kRates[3] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const uint32_t rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const uint32_t bitrate = kBitrates[mpeg1 ? 0 : 1][3 - layer][bitrateIndex] * 1000u;
  if (layer == 3)
    frame.bytes = (12 * bitrate / rate + padding) * 4;
  else
    frame.bytes = (layer == 1 && !mpeg1 ? 72 : 144) * bitrate / rate + padding;
  frame.stream = (p[1] & 0x1E) | (rateIndex << 8);
  return frame.bytes >= 4;
}

uint32_t SyncSafe(const uint8_t* p) {
  return uint32_t{p[0]} << 21 | uint32_t{p[1]} << 14 | uint32_t{p[2]} << 7 | p[3];
}

// The end of the frames of one stream that start at `at`; `at` itself when
// no frame starts there.
uint64_t EndOfFrames(FileWindow& window, uint64_t at) {
  uint32_t stream = 0;
  for (bool first = true;; first = false) {
    const uint8_t* p = window.At(at, 4);
    FrameHeader frame;
    if (!p || !ParseFrame(p, frame) || (!first && frame.stream != stream)) return at;
    // A frame cut off by the end of the source is not part of the walk.
    if (at + frame.bytes > window.Limit()) return at;
    stream = frame.stream;
    at += frame.bytes;
  }
}

// The tags that may close the file: APE (with its header), then ID3v1.
uint64_t AfterClosingTags(FileWindow& window, uint64_t at) {
  const uint8_t* ape = window.At(at, kApeHeaderBytes);
  if (ape && HasText(ape, "APETAGEX") && (Le32(ape + 20) & kApeHasHeader))
    at += kApeHeaderBytes + Le32(ape + 12);
  const uint8_t* id3v1 = window.At(at, 3);
  if (id3v1 && HasText(id3v1, "TAG") && at + kId3v1Bytes <= window.Limit()) at += kId3v1Bytes;
  return at;
}

}  // namespace

bool WalkMp3(FileWindow& window, uint64_t& size) {
  const uint8_t* tag = window.At(0, kId3HeaderBytes);
  if (!tag || !HasText(tag, "ID3")) return false;
  uint64_t at = kId3HeaderBytes + SyncSafe(tag + 6) + ((tag[5] & kId3HasFooter) ? 10 : 0);
  for (uint64_t padding = 0; padding < kMaxPadding; ++padding, ++at) {
    const uint8_t* p = window.At(at, 1);
    if (!p || *p != 0) break;
  }
  uint64_t end = EndOfFrames(window, at);
  if (end == at) return false;
  size = AfterClosingTags(window, end);
  return true;
}

}  // namespace salvora
