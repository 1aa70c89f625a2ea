#pragma once
// Walks of a format's own structure (segments, chunks, blocks, boxes,
// frames, pages, compressed streams) that say exactly how long a carved
// file is. A walk that validates outranks the format's scan or marker
// rule, also when a foreign signature lies inside the file; one that does
// not validate leaves the size to that rule.
#include <cstdint>

#include "carving/CarveContext.h"
#include "carving/FileWindow.h"
#include "carving/SignatureTable.h"

namespace salvora {

// True with `size` set when the structure from the file's first byte holds
// together up to a clear end.
using StructureWalk = bool (*)(FileWindow& window, uint64_t& size);

// Pictures.
bool WalkJpeg(FileWindow& window, uint64_t& size);
bool WalkPng(FileWindow& window, uint64_t& size);
bool WalkGif(FileWindow& window, uint64_t& size);
bool WalkBitmap(FileWindow& window, uint64_t& size);
bool WalkTiff(FileWindow& window, uint64_t& size);
bool WalkPhotoshop(FileWindow& window, uint64_t& size);
bool WalkWebp(FileWindow& window, uint64_t& size);

// Audio and video.
bool WalkMp3(FileWindow& window, uint64_t& size);
bool WalkMp3Frames(FileWindow& window, uint64_t& size);
bool WalkIsoBoxes(FileWindow& window, uint64_t& size);
bool WalkIsoImage(FileWindow& window, uint64_t& size);
// Whether a box of this four-letter type is one files hold at top level.
bool IsTopLevelBox(const uint8_t* type);
bool WalkFlac(FileWindow& window, uint64_t& size);
bool WalkMatroska(FileWindow& window, uint64_t& size);
bool WalkFlv(FileWindow& window, uint64_t& size);
bool WalkMpegPacks(FileWindow& window, uint64_t& size);
bool WalkOgg(FileWindow& window, uint64_t& size);

// Databases, compressed streams and archives.
bool WalkSqlite(FileWindow& window, uint64_t& size);
bool WalkGzip(FileWindow& window, uint64_t& size);
bool WalkXz(FileWindow& window, uint64_t& size);
bool WalkBzip2(FileWindow& window, uint64_t& size);
bool WalkZip(FileWindow& window, uint64_t& size);
bool WalkRar5(FileWindow& window, uint64_t& size);

// Where a raw deflate stream that starts at `at` ends, with the CRC-32 and
// length of what it decodes to; false when it does not end well.
struct DeflateEnd {
  uint64_t offset = 0;
  uint32_t crc = 0;
  uint64_t decodedBytes = 0;
};
bool InflatedStream(FileWindow& window, uint64_t at, DeflateEnd& end);

// The walk's size when it validates, never past the cap (on the bytes
// after the first sector) or the end of the source; otherwise `rule`'s.
uint64_t WalkOrRule(CarveContext& context, StructureWalk walk, uint64_t capBytes, MeasureFn rule,
                    const uint8_t* bytes, uint32_t count);

template <StructureWalk kWalk, uint64_t kCapBytes, MeasureFn kRule>
uint64_t MeasureWalked(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  return WalkOrRule(context, kWalk, kCapBytes, kRule, bytes, count);
}

}  // namespace salvora
