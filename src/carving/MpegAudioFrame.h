#pragma once
// The four-byte header of an MPEG audio frame (layers I to III of MPEG-1,
// 2 and 2.5): whether it is one, and how long its frame is.
#include <cstdint>

namespace salvora {

// The fields of a frame header that every frame of one stream shares,
// and the length of this frame.
struct MpegAudioFrame {
  uint32_t stream = 0;  // version, layer and sample-rate bits
  uint32_t bytes = 0;
  bool layer3 = false;
};

// True with `frame` set when the four bytes at `p` are a frame header.
bool ParseMpegAudioFrame(const uint8_t* p, MpegAudioFrame& frame);

}  // namespace salvora
