// Lengths of streams made of self-describing packets: FLV tags (each
// followed by the size of the tag before it), MPEG program-stream packs
// and packets up to the end code, and Ogg pages up to the page that ends
// the last logical stream.
#include <algorithm>
#include <vector>

#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kFlvTagHeader = 11;
constexpr uint32_t kMpegPackMpeg2 = 14, kMpegPackMpeg1 = 12;
constexpr uint8_t kPackStart = 0xBA, kProgramEnd = 0xB9, kSystemHeader = 0xBB;
constexpr uint32_t kOggPageHeader = 27;
constexpr uint8_t kOggFirstPage = 0x02, kOggLastPage = 0x04;
constexpr size_t kMaxOggStreams = 64;

// Bytes of the pack header at `p` (12 bytes are there); 0 when it is none.
// Its marker bits tell a pack header from bytes that merely start like one.
uint32_t PackBytes(const uint8_t* p, FileWindow& window, uint64_t at) {
  if ((p[4] & 0xF1) == 0x21)  // MPEG-1
    return (p[6] & 1) && (p[8] & 1) && (p[9] & 0x80) && (p[11] & 1) ? kMpegPackMpeg1 : 0;
  if ((p[4] & 0xC4) != 0x44 || !(p[6] & 0x04) || !(p[8] & 0x04) || !(p[9] & 0x01)) return 0;
  const uint8_t* full = window.At(at, kMpegPackMpeg2);
  if (!full || (full[12] & 0x03) != 0x03) return 0;
  return kMpegPackMpeg2 + (full[13] & 0x07);
}

// A stream written without an end code must show at least this many packs.
constexpr uint64_t kMinPacksWithoutEnd = 2;

}  // namespace

bool WalkFlv(FileWindow& window, uint64_t& size) {
  const uint8_t* header = window.At(0, 9);
  if (!header) return false;
  uint64_t at = Be32(header + 5);
  const uint8_t* first = window.At(at, 4);
  if (at < 9 || !first || Be32(first) != 0) return false;
  at += 4;
  uint64_t tags = 0;
  for (;;) {
    const uint8_t* tag = window.At(at, kFlvTagHeader);
    if (!tag) break;
    uint8_t type = tag[0] & 0x1F;
    uint32_t dataBytes = Be24(tag + 1);
    if ((type != 8 && type != 9 && type != 18) || Be24(tag + 8) != 0) break;
    uint64_t end = at + kFlvTagHeader + dataBytes;
    const uint8_t* previous = window.At(end, 4);
    if (!previous || Be32(previous) != kFlvTagHeader + dataBytes) break;
    at = end + 4;
    ++tags;
  }
  if (tags == 0) return false;
  size = at;
  return true;
}

// Packs and the packets in them up to the end code; a stream written
// without one ends after its last whole pack or packet.
bool WalkMpegPacks(FileWindow& window, uint64_t& size) {
  uint64_t at = 0;
  uint64_t packs = 0;
  bool ended = false;
  for (;;) {
    const uint8_t* p = window.At(at, kMpegPackMpeg1);
    bool startCode = p && p[0] == 0 && p[1] == 0 && p[2] == 1;
    uint8_t code = startCode ? p[3] : 0;
    uint32_t packBytes = code == kPackStart ? PackBytes(p, window, at) : 0;
    if (code == kProgramEnd) {
      at += 4;
      ended = true;
      break;
    }
    if (packBytes != 0) {
      at += packBytes;
      ++packs;
    } else if (code >= kSystemHeader && packs > 0) {
      at += 6 + uint64_t{Be16(p + 4)};  // system header or packet
    } else {
      break;
    }
  }
  if (packs < (ended ? 1 : kMinPacksWithoutEnd) || at > window.Limit()) return false;
  size = at;
  return true;
}

bool WalkOgg(FileWindow& window, uint64_t& size) {
  std::vector<uint32_t> open;  // streams begun and not yet ended
  uint64_t at = 0;
  for (bool first = true;; first = false) {
    const uint8_t* page = window.At(at, kOggPageHeader);
    if (!page || !HasText(page, "OggS") || page[4] != 0 || (page[5] & ~0x07) != 0) return false;
    const uint8_t flags = page[5];
    const uint32_t serial = Le32(page + 14);
    const uint32_t segments = page[26];
    uint64_t body = 0;
    if (segments > 0) {
      const uint8_t* lacing = window.At(at + kOggPageHeader, segments);
      if (!lacing) return false;
      for (uint32_t i = 0; i < segments; ++i) body += lacing[i];
    }
    auto stream = std::find(open.begin(), open.end(), serial);
    if (flags & kOggFirstPage) {
      if (stream != open.end() || open.size() == kMaxOggStreams) return false;
      open.push_back(serial);
      stream = open.end() - 1;
    } else if (first || stream == open.end()) {
      return false;
    }
    at += kOggPageHeader + segments + body;
    if (flags & kOggLastPage) {
      open.erase(stream);
      if (open.empty()) {
        size = at;
        return true;
      }
    }
  }
}

}  // namespace salvora
