#pragma once
// A JPEG decoded from a candidate file with libjpeg-turbo, to learn whether
// it is whole and, when it is not, where its data stops making sense. The
// picture itself is thrown away (decoded at an eighth of its size, which
// keeps the entropy decoding that finds corrupt data but little else).
#include <cstdint>

#include "carving/StitchedFile.h"

namespace salvora {

struct JpegDecodeReport {
  bool readable = false;     // the headers up to the first scan parse
  bool unjudged = false;     // the decoder gave up for want of memory or support
  bool clean = false;        // every line decoded, nothing corrupt, and EOI ends it
  bool progressive = false;  // later scans and their markers follow the first
  uint64_t dataStart = 0;    // file offset of the first scan's data
  uint64_t fault = 0;        // not clean: the offset reached when corruption showed
  uint64_t end = 0;          // clean: the offset after EOI
  uint64_t bytesRead = 0;
};

// Decodes at most `maxBytes` of the file (more counts as a fault there).
JpegDecodeReport DecodeJpeg(const StitchedFile& file, uint64_t maxBytes);

}  // namespace salvora
