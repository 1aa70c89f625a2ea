// An MP3's length: the ID3v2 tag states its own size, the MPEG audio
// frames that follow are walked header by header (each header gives its
// frame's length), and an APE or ID3v1 tag right after the last frame
// belongs to the file. A file without a closing tag ends with its last
// frame.
#include "carving/ByteOrder.h"
#include "carving/MpegAudioFrame.h"
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
// As many as the detector of untagged files asks for.
constexpr uint32_t kMinUntaggedFrames = 6;

uint32_t SyncSafe(const uint8_t* p) {
  return uint32_t{p[0]} << 21 | uint32_t{p[1]} << 14 | uint32_t{p[2]} << 7 | p[3];
}

// The end of the frames of one stream that start at `at`; `at` itself when
// no frame starts there.
uint64_t EndOfFrames(FileWindow& window, uint64_t at, uint32_t* frames = nullptr) {
  uint32_t stream = 0;
  for (bool first = true;; first = false) {
    const uint8_t* p = window.At(at, 4);
    MpegAudioFrame frame;
    if (!p || !ParseMpegAudioFrame(p, frame) || (!first && frame.stream != stream)) return at;
    // A frame cut off by the end of the source is not part of the walk.
    if (at + frame.bytes > window.Limit()) return at;
    stream = frame.stream;
    at += frame.bytes;
    if (frames) ++*frames;
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

// Without a tag only the frames vouch for the file, so it must hold more
// than a few of them.
bool WalkMp3Frames(FileWindow& window, uint64_t& size) {
  uint32_t frames = 0;
  uint64_t end = EndOfFrames(window, 0, &frames);
  if (frames < kMinUntaggedFrames) return false;
  size = AfterClosingTags(window, end);
  return true;
}

}  // namespace salvora
