#include "carving/PatternSearch.h"

#include <cstring>

namespace salvora {
namespace {

bool Searchable(const uint8_t* buffer, size_t length, const void* pattern, size_t patternLength) {
  return buffer && pattern && patternLength > 0 && patternLength <= length;
}

// The pattern byte the search looks for first: the last one that is neither
// 0x00 nor 0xFF, which fill whole stretches of disks and would stop the
// search at every byte there. Only where it occurs is the whole pattern
// compared.
size_t AnchorOf(const uint8_t* pattern, size_t patternLength) {
  for (size_t at = patternLength; at-- > 0;)
    if (pattern[at] != 0x00 && pattern[at] != 0xFF) return at;
  return patternLength - 1;
}

}  // namespace

size_t FindForward(const uint8_t* buffer, size_t length, const void* pattern,
                   size_t patternLength) {
  if (!Searchable(buffer, length, pattern, patternLength)) return kNoMatch;
  const auto* bytes = static_cast<const uint8_t*>(pattern);
  const size_t anchor = AnchorOf(bytes, patternLength);
  // The anchor of a match starting at s lies at s + anchor, s <= length - patternLength.
  const uint8_t* next = buffer + anchor;
  const uint8_t* last = buffer + (length - patternLength) + anchor;
  while (next <= last) {
    const auto* hit = static_cast<const uint8_t*>(
        std::memchr(next, bytes[anchor], static_cast<size_t>(last - next) + 1));
    if (!hit) return kNoMatch;
    const uint8_t* start = hit - anchor;
    if (std::memcmp(start, bytes, patternLength) == 0) return static_cast<size_t>(start - buffer);
    next = hit + 1;
  }
  return kNoMatch;
}

size_t FindBackward(const uint8_t* buffer, size_t length, const void* pattern,
                    size_t patternLength) {
  if (!Searchable(buffer, length, pattern, patternLength)) return kNoMatch;
  const auto* bytes = static_cast<const uint8_t*>(pattern);
  const size_t anchor = AnchorOf(bytes, patternLength);
  const uint8_t* first = buffer + anchor;
  size_t span = length - patternLength + 1;  // anchors from first to first + span - 1
  while (span > 0) {
    const auto* hit = static_cast<const uint8_t*>(memrchr(first, bytes[anchor], span));
    if (!hit) return kNoMatch;
    const uint8_t* start = hit - anchor;
    if (std::memcmp(start, bytes, patternLength) == 0) return static_cast<size_t>(start - buffer);
    span = static_cast<size_t>(hit - first);
  }
  return kNoMatch;
}

}  // namespace salvora
