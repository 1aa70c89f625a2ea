// A JPEG's length from its own markers: segments are skipped by their
// lengths up to each start of scan, the entropy-coded data that follows is
// read up to the next marker, and the end-of-image marker that closes the
// last scan ends the file. An end marker inside a segment (the thumbnail
// of an Exif block) is never taken for the file's own.
#include <cstring>

#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint64_t kNotFound = UINT64_MAX;

bool IsRestart(uint8_t marker) { return marker >= 0xD0 && marker <= 0xD7; }

// Markers that open a segment with a length: frames, tables, start of
// scan, restart interval, application blocks, comments and the extensions.
bool HasSegment(uint8_t marker) {
  return (marker >= 0xC0 && marker <= 0xCF) || (marker >= 0xDA && marker <= 0xDF) || marker >= 0xE0;
}

bool IsFrame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Offset of the marker that ends the entropy-coded data from `at`: a 0xFF
// followed by neither a stuffed zero, a restart marker nor another 0xFF.
uint64_t EndOfEntropyData(FileWindow& window, uint64_t at) {
  for (;;) {
    uint32_t available = 0;
    const uint8_t* bytes = window.From(at, available);
    if (!bytes) return kNotFound;
    const void* found = std::memchr(bytes, 0xFF, available);
    if (!found) {
      at += available;
      continue;
    }
    at += static_cast<const uint8_t*>(found) - bytes;
    const uint8_t* pair = window.At(at, 2);
    if (!pair) return kNotFound;
    if (pair[1] != 0x00 && pair[1] != 0xFF && !IsRestart(pair[1])) return at;
    at += 1;
  }
}

}  // namespace

bool WalkJpeg(FileWindow& window, uint64_t& size) {
  const uint8_t* start = window.At(0, 2);
  if (!start || start[0] != 0xFF || start[1] != 0xD8) return false;
  bool framed = false, scanned = false;
  uint64_t at = 2;
  for (;;) {
    // Pointers into the window last only until the next read.
    const uint8_t* pair = window.At(at, 2);
    if (!pair || pair[0] != 0xFF) return false;
    const uint8_t marker = pair[1];
    if (marker == 0xFF) {  // fill byte before a marker
      ++at;
      continue;
    }
    if (marker == kEndOfImage) {
      if (!scanned) return false;
      size = at + 2;
      return true;
    }
    if (!HasSegment(marker)) return false;
    const uint8_t* length = window.At(at + 2, 2);
    if (!length || Be16(length) < 2) return false;
    framed = framed || IsFrame(marker);
    at += 2 + Be16(length);
    if (marker == kStartOfScan) {
      if (!framed) return false;
      at = EndOfEntropyData(window, at);
      if (at == kNotFound) return false;
      scanned = true;
    }
  }
}

}  // namespace salvora
