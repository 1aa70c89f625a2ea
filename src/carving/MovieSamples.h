#pragma once
// Where the pieces of an MP4/MOV-family file must lie, as the file itself
// states it: its top-level boxes follow each other, and the sample tables
// of the movie box give every video sample's offset and size. Samples of
// H.264 and H.265 tracks are runs of length-prefixed NAL units that must
// tile the sample exactly, which foreign data almost never does; these are
// the points a fragment search checks. Other tracks give no check.
#include <cstdint>
#include <vector>

#include "carving/StitchedFile.h"

namespace salvora {

enum class CheckKind : uint8_t { kBoxHeader, kNalSample };

// One place of the file whose bytes can be judged on their own.
struct MovieCheck {
  uint64_t offset = 0;
  uint64_t size = 0;        // a sample's bytes, or a box header's
  uint8_t lengthBytes = 0;  // NAL samples: bytes of each unit's length field
  bool hevc = false;        // NAL samples: two-byte unit headers
  CheckKind kind = CheckKind::kBoxHeader;
};

struct MovieLayout {
  std::vector<MovieCheck> checks;  // by offset
  uint64_t end = 0;                // where the last top-level box ends
  uint64_t movieAt = 0;            // the movie box, 0 when none was read
  // Where the top-level walk met bytes that are no box, when the walk did
  // not reach the end the file states (0 when it did).
  uint64_t walkFault = 0;
  bool judgeable = false;  // at least one sample can be checked
};

// Walks the top-level boxes of `file` from its start and reads the movie
// box it meets. Spends `work` for the bytes read; false once none is left.
bool ReadMovieLayout(const StitchedFile& file, uint64_t& work, MovieLayout& layout);

// What checking the layout found from check `from` on.
struct CheckResult {
  size_t failed = SIZE_MAX;  // the first check that failed, SIZE_MAX for none
  uint64_t faultAt = 0;      // the offset of the read that failed
  uint64_t faultEnd = 0;     // and where that read ended
  uint64_t goodUntil = 0;    // the end of the last read before it that held
  // The end of the NAL unit that read began, when it was one: the bytes
  // up to there are that unit's payload, which never holds two zero bytes
  // followed by a byte below 3.
  uint64_t payloadEnd = 0;
  bool outOfWork = false;
};
// With a `stride`, only checks at least that many bytes apart are made,
// and the last few: enough to see that nothing shifted the file's end.
CheckResult CheckMovie(const StitchedFile& file, const MovieLayout& layout, size_t from,
                       uint64_t& work, uint64_t stride = 0);

}  // namespace salvora
