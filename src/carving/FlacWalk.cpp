// A FLAC file's length: the metadata blocks state their sizes; the audio
// frames do not, but each ends with a CRC-16 of its bytes, so a frame ends
// where that CRC checks and the next frame's header (with its own CRC-8,
// and the next frame or sample number) begins. The last frame ends where
// its CRC checks once the stream's stated sample count is reached.
#include <algorithm>

#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kMarkerBytes = 4;
constexpr uint32_t kBlockHeader = 4;
constexpr uint32_t kStreamInfoBytes = 34;
constexpr uint32_t kMaxMetadataBlocks = 1024;
constexpr uint8_t kInvalidBlockType = 127;
constexpr uint32_t kMaxFrameHeader = 16;
// No frame is longer: 65535 samples of 8 channels of 32 bits, and more.
constexpr uint64_t kLongestFrame = 0x400000;

struct StreamInfo {
  uint64_t minFrame = 0, maxFrame = 0;
  uint64_t totalSamples = 0;  // 0: not known
};

struct FrameHeader {
  uint32_t headerBytes = 0;
  uint64_t number = 0;  // frame number, or first sample for variable blocking
  uint32_t blockSize = 0;
  uint8_t blocking = 0, rateCode = 0, sampleSizeCode = 0, channels = 0;
};

uint8_t Crc8(const uint8_t* p, uint32_t length) {
  uint8_t crc = 0;
  for (uint32_t i = 0; i < length; ++i) {
    crc ^= p[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}

const uint16_t* Crc16Table() {
  static const auto table = [] {
    static uint16_t t[256];
    for (uint32_t i = 0; i < 256; ++i) {
      uint16_t crc = static_cast<uint16_t>(i << 8);
      for (int bit = 0; bit < 8; ++bit)
        crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
      t[i] = crc;
    }
    return t;
  }();
  return table;
}

// The frame or sample number, coded like UTF-8 in up to seven bytes.
bool CodedNumber(const uint8_t* p, uint32_t& length, uint64_t& value) {
  uint8_t first = p[0];
  uint32_t extra = 0;
  if (first < 0x80) {
    value = first;
  } else {
    while (extra < 7 && (first & (0x40 >> extra))) ++extra;
    if (extra == 0 || extra > 6) return false;
    value = first & (0x3F >> extra);
  }
  for (uint32_t i = 1; i <= extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) return false;
    value = (value << 6) | (p[i] & 0x3F);
  }
  length = 1 + extra;
  return true;
}

bool ParseFrameHeader(FileWindow& window, uint64_t at, FrameHeader& h) {
  const uint8_t* p = window.At(at, kMaxFrameHeader);
  if (!p || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8 || (p[3] & 1) != 0) return false;
  const uint8_t sizeCode = p[2] >> 4, rateCode = p[2] & 0x0F, channelCode = p[3] >> 4;
  const uint8_t sampleSizeCode = (p[3] >> 1) & 7;
  if (sizeCode == 0 || rateCode == 15 || channelCode > 10 || sampleSizeCode == 3) return false;
  uint32_t length = 0;
  if (!CodedNumber(p + 4, length, h.number)) return false;
  uint32_t n = 4 + length;
  if (sizeCode == 6) h.blockSize = p[n++] + 1u;
  else if (sizeCode == 7) h.blockSize = Be16(p + n) + 1u, n += 2;
  else if (sizeCode == 1) h.blockSize = 192;
  else if (sizeCode <= 5) h.blockSize = 576u << (sizeCode - 2);
  else h.blockSize = 256u << (sizeCode - 8);
  if (rateCode == 12) n += 1;
  if (rateCode == 13 || rateCode == 14) n += 2;
  if (Crc8(p, n) != p[n]) return false;
  h.headerBytes = n + 1;
  h.blocking = p[1] & 1;
  h.rateCode = rateCode;
  h.sampleSizeCode = sampleSizeCode;
  h.channels = channelCode <= 7 ? channelCode + 1 : 2;
  return true;
}

// Whether `next` can follow `frame` in the same stream.
bool Follows(const FrameHeader& frame, const FrameHeader& next) {
  if (next.blocking != frame.blocking || next.rateCode != frame.rateCode ||
      next.sampleSizeCode != frame.sampleSizeCode || next.channels != frame.channels)
    return false;
  return next.number == frame.number + (frame.blocking ? frame.blockSize : 1);
}

bool ReadMetadata(FileWindow& window, uint64_t& at, StreamInfo& info) {
  bool haveInfo = false;
  for (uint32_t blocks = 0; blocks < kMaxMetadataBlocks; ++blocks) {
    const uint8_t* block = window.At(at, kBlockHeader);
    if (!block) return false;
    const bool last = (block[0] & 0x80) != 0;
    const uint8_t type = block[0] & 0x7F;
    const uint32_t length = Be24(block + 1);
    if (type == kInvalidBlockType || (blocks == 0) != (type == 0)) return false;
    if (type == 0) {
      const uint8_t* si = window.At(at + kBlockHeader, kStreamInfoBytes);
      if (length != kStreamInfoBytes || !si) return false;
      info.minFrame = Be24(si + 4);
      info.maxFrame = Be24(si + 7);
      info.totalSamples = (uint64_t{si[13] & 0x0Fu} << 32) | Be32(si + 14);
      haveInfo = true;
    }
    at += kBlockHeader + length;
    if (last) return haveInfo;
  }
  return false;
}

// Where the frame at `at` ends: the first place its CRC-16 checks after
// which a following frame begins, or (last frame) the first place it checks.
// 0 when none does within the longest frame.
uint64_t FrameEnd(FileWindow& window, uint64_t at, const FrameHeader& frame, bool last,
                  const StreamInfo& info, FrameHeader& next) {
  const uint16_t* table = Crc16Table();
  uint64_t longest = info.maxFrame != 0 ? info.maxFrame : kLongestFrame;
  uint64_t shortest = std::max<uint64_t>(info.minFrame, frame.headerBytes + 2);
  uint16_t crc = 0;
  uint64_t cursor = at;
  while (cursor - at < longest) {
    uint32_t available = 0;
    const uint8_t* bytes = window.From(cursor, available);
    if (!bytes) return 0;
    available = static_cast<uint32_t>(std::min<uint64_t>(available, longest - (cursor - at)));
    for (uint32_t i = 0; i < available; ++i) {
      crc = static_cast<uint16_t>((crc << 8) ^ table[((crc >> 8) ^ bytes[i]) & 0xFF]);
      const uint64_t end = cursor + i + 1;
      if (crc != 0 || end - at < shortest) continue;
      if (last) return end;
      // The next header's read may move the window; resume from `end`.
      if (ParseFrameHeader(window, end, next) && Follows(frame, next)) return end;
      cursor = end;
      available = 0;
      break;
    }
    cursor += available;
  }
  return 0;
}

}  // namespace

bool WalkFlac(FileWindow& window, uint64_t& size) {
  const uint8_t* marker = window.At(0, kMarkerBytes);
  if (!marker || !HasText(marker, "fLaC")) return false;
  uint64_t at = kMarkerBytes;
  StreamInfo info;
  FrameHeader frame;
  if (!ReadMetadata(window, at, info) || !ParseFrameHeader(window, at, frame)) return false;
  uint64_t samples = 0;
  for (;;) {
    samples += frame.blockSize;
    const bool last = info.totalSamples != 0 && samples >= info.totalSamples;
    FrameHeader next;
    uint64_t end = FrameEnd(window, at, frame, last, info, next);
    if (end == 0) {
      // A stream of unknown length ends with its last whole frame.
      if (info.totalSamples != 0 || window.Stopped()) return false;
      end = FrameEnd(window, at, frame, true, info, next);
      if (end == 0) return false;
      size = end;
      return true;
    }
    if (last) {
      size = end;
      return true;
    }
    at = end;
    frame = next;
  }
}

}  // namespace salvora
