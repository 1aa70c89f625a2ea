#include "carving/MpegAudioFrame.h"

namespace salvora {

bool ParseMpegAudioFrame(const uint8_t* p, MpegAudioFrame& frame) {
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
  frame.layer3 = layer == 1;
  return frame.bytes >= 4;
}

}  // namespace salvora
