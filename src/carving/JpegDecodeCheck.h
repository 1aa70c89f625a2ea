#pragma once
// Whether a carved JPEG decodes: a header that starts like a JPEG is what
// every carver finds in the middle of other files and in the remains of
// overwritten photos, and users' first complaint about carvers is such
// noise. The picture is decoded at an eighth of its size, which takes the
// same path through every marker and all the entropy-coded data.
#include <cstdint>

#include "carving/CarveContext.h"

namespace salvora {

enum class JpegVerdict {
  kWhole,    // decodes without complaint (or too large to be judged here)
  kDamaged,  // its frame holds, its data does not all decode: keep, marked
  kJunk,     // no decodable frame: no picture at all
};

// Judges the `size` bytes from the context's fileStartSector.
JpegVerdict CheckJpegDecodes(CarveContext& context, uint64_t size);

}  // namespace salvora
