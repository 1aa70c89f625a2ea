// MP3s written without a tag start with a bare frame header, eleven set
// bits that compressed data of any kind shows often. Only a run of whole
// frames of one stream, each header where the one before says it must be,
// makes a file; the run is read from the disk when it outgrows the sector.
#include <algorithm>

#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"
#include "carving/MpegAudioFrame.h"

namespace salvora {
namespace {

constexpr uint32_t kFramesRequired = 6;
// Six of the longest layer III frames (320 kbit/s at 32 kHz, padded).
constexpr uint32_t kRunBytes = 6 * 1441 + 4;
constexpr uint8_t kReservedEmphasis = 2;

bool Plausible(const uint8_t* p, MpegAudioFrame& frame) {
  return ParseMpegAudioFrame(p, frame) && frame.layer3 && (p[3] & 3) != kReservedEmphasis;
}

bool FramesInRow(const uint8_t* bytes, uint32_t count) {
  uint32_t stream = 0;
  uint64_t at = 0;
  for (uint32_t frames = 0; frames < kFramesRequired; ++frames) {
    MpegAudioFrame frame;
    if (at + 4 > count || !Plausible(bytes + at, frame)) return false;
    if (frames > 0 && frame.stream != stream) return false;
    stream = frame.stream;
    at += frame.bytes;
  }
  return at <= count;
}

}  // namespace

int DetectMp3Frames(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  MpegAudioFrame first;
  if (!bytes || count < 4 || !Plausible(bytes, first)) return kTypeNone;
  if (count >= kRunBytes) return FramesInRow(bytes, count) ? kTypeMp3Frames : kTypeNone;
  if (!context.source || !context.SectorSizeUsable()) return kTypeNone;
  uint32_t sectors = (kRunBytes + context.SectorBytes() - 1) / context.SectorBytes();
  sectors = static_cast<uint32_t>(
      std::min<uint64_t>(sectors, context.SectorsLeftFrom(context.cursorSector)));
  const uint8_t* run =
      sectors == 0 ? nullptr : context.ReadView(context.cursorSector, sectors, context.ProbeBuffer());
  if (!run) return kTypeNone;
  return FramesInRow(run, sectors * context.SectorBytes()) ? kTypeMp3Frames : kTypeNone;
}

}  // namespace salvora
