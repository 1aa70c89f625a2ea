#include <cstring>

#include "carving/ByteOrder.h"
#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"
#include "carving/PatternSearch.h"

namespace salvora {
namespace {

const uint8_t kPackStart[] = {0x00, 0x00, 0x01, 0xBA};
const uint8_t kSystemHeader[] = {0x00, 0x00, 0x01, 0xBB};
const uint8_t kSequenceHeader[] = {0x00, 0x00, 0x01, 0xB3};
const uint8_t kGroupStart[] = {0x00, 0x00, 0x01, 0xB8};
const uint8_t kAsfHeader[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                              0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const uint8_t kFlvStart[] = {0x00, 0x00, 0x00, 0x09};
const uint8_t kMatroska[] = {0x1A, 0x45, 0xDF, 0xA3};
const uint8_t kPatPacket[] = {0x00, 0x00, 0xB0, 0x11, 0x00, 0x00, 0xC1, 0x00};
const uint8_t kMxfKey[] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                           0x0D, 0x01, 0x02, 0x01, 0x01, 0x02, 0x04, 0x00};
const uint8_t kMpegAudio[] = {0xFF, 0xFD, 0xE4, 0x00};

bool HasFtyp(const uint8_t* bytes) { return HasText(bytes + 4, "ftyp"); }

}  // namespace

int DetectMpegStream(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16) return kTypeNone;
  size_t window = count < 32 ? count : 32;
  if (HasBytes(bytes, kPackStart) && FindForward(bytes, window, kSystemHeader, 4) != kNoMatch)
    return kTypeMpegStream;
  if (HasBytes(bytes, kSequenceHeader) && FindForward(bytes, window, kGroupStart, 4) != kNoMatch)
    return kTypeMpegStream;
  return kTypeNone;
}

int DetectMp4(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 32 || !HasFtyp(bytes)) return kTypeNone;
  return HasText(bytes + 8, "iso") || HasText(bytes + 8, "mp42") ? kTypeMp4 : kTypeNone;
}

int DetectRealMedia(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 4 && HasText(bytes, ".RMF") ? kTypeRealMedia : kTypeNone;
}

int DetectAsf(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 24 && HasBytes(bytes, kAsfHeader) ? kTypeAsf : kTypeNone;
}

int DetectFlash(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 8) return kTypeNone;
  uint8_t version = bytes[3];
  if (HasText(bytes, "CWS") && version >= 6 && version <= 15) return kTypeFlash;
  if (HasText(bytes, "FWS") && version < 6) return kTypeFlash;
  return kTypeNone;
}

int DetectAvi(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16) return kTypeNone;
  return HasText(bytes, "RIFF") && HasText(bytes + 8, "AVI ") && HasText(bytes + 12, "LIST")
             ? kTypeAvi
             : kTypeNone;
}

int DetectFlv(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16) return kTypeNone;
  return HasText(bytes, "FLV") && bytes[3] == 0x01 && HasBytes(bytes + 5, kFlvStart) ? kTypeFlv
                                                                                     : kTypeNone;
}

int Detect3gpp(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 32) return kTypeNone;
  return HasFtyp(bytes) && HasText(bytes + 8, "3gp") ? kType3gpp : kTypeNone;
}

int DetectMatroska(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 16 && HasBytes(bytes, kMatroska) ? kTypeMatroska : kTypeNone;
}

// A PAT at the start of a 192-byte packet. Right after an M2TS was carved,
// only a sector whose packet prefix is zero may start another one.
int DetectM2ts(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16 || !HasBytes(bytes + 8, kPatPacket)) return kTypeNone;
  bool zeroPrefix = Le32(bytes) == 0;
  return zeroPrefix || context.mtsFollowFlag == 0 ? kTypeM2ts : kTypeNone;
}

int DetectMxf(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 16 && HasBytes(bytes, kMxfKey) ? kTypeMxf : kTypeNone;
}

// The tag header is ten bytes, so fewer never make a tag.
int DetectId3(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 10 || !HasText(bytes, "ID3")) return kTypeNone;
  if (bytes[3] == 0xFF || bytes[4] == 0xFF || (bytes[5] & 0x1F) != 0) return kTypeNone;
  for (int i = 6; i < 10; ++i)
    if (bytes[i] >= 0x80) return kTypeNone;
  return kTypeMp3;
}

int DetectMidi(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 18) return kTypeNone;
  return HasText(bytes, "MThd") && Be32(bytes + 4) == 6 && HasText(bytes + 14, "MTrk") ? kTypeMidi
                                                                                       : kTypeNone;
}

int DetectApe(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 4 && HasText(bytes, "MAC ") ? kTypeApe : kTypeNone;
}

int DetectWave(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16) return kTypeNone;
  return HasText(bytes, "RIFF") && HasText(bytes + 8, "WAVE") && HasText(bytes + 12, "fmt ")
             ? kTypeWave
             : kTypeNone;
}

int DetectQuickTime(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16) return kTypeNone;
  if (HasText(bytes, "moov")) return kTypeQuickTime;
  return HasFtyp(bytes) && HasText(bytes + 8, "qt  ") ? kTypeQuickTime : kTypeNone;
}

int DetectMpegAudio(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 4 && HasBytes(bytes, kMpegAudio) ? kTypeMpegAudio : kTypeNone;
}

int DetectMmf(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 4 && HasText(bytes, "MMMD") ? kTypeMmf : kTypeNone;
}

// The first page of an Ogg stream: version 0, only the begin flag set. A
// stream whose first packet is an Opus header is told apart, since players
// and users know it by its own extension.
int DetectOgg(CarveContext&, const uint8_t* bytes, uint32_t count) {
  constexpr uint32_t kPageHeader = 27;
  if (!bytes || count < kPageHeader || !HasText(bytes, "OggS") || bytes[4] != 0 || bytes[5] != 0x02)
    return kTypeNone;
  const uint64_t packet = kPageHeader + uint64_t{bytes[26]};
  bool opus = packet + 8 <= count && HasText(bytes + packet, "OpusHead");
  return opus ? kTypeOpus : kTypeOgg;
}

// MPEG-4 audio (and audio books and protected audio) by its major brand.
int DetectM4a(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 32 || !HasFtyp(bytes)) return kTypeNone;
  bool audio =
      HasText(bytes + 8, "M4A ") || HasText(bytes + 8, "M4B ") || HasText(bytes + 8, "M4P ");
  return audio ? kTypeM4a : kTypeNone;
}

// FLAC opens with its stream information block, always 34 bytes long.
int DetectFlac(CarveContext&, const uint8_t* bytes, uint32_t count) {
  constexpr uint32_t kStreamInfoBytes = 34;
  if (!bytes || count < 8 || !HasText(bytes, "fLaC")) return kTypeNone;
  return (bytes[4] & 0x7F) == 0 && Be24(bytes + 5) == kStreamInfoBytes ? kTypeFlac : kTypeNone;
}

}  // namespace salvora
