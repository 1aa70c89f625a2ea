#include "carving/PatternSearch.h"

#include <cstring>

namespace salvora {
namespace {

bool Searchable(const uint8_t* buffer, size_t length, const void* pattern, size_t patternLength) {
  return buffer && pattern && patternLength > 0 && patternLength <= length;
}

}  // namespace

size_t FindForward(const uint8_t* buffer, size_t length, const void* pattern,
                   size_t patternLength) {
  if (!Searchable(buffer, length, pattern, patternLength)) return kNoMatch;
  const void* hit = memmem(buffer, length, pattern, patternLength);
  return hit ? static_cast<size_t>(static_cast<const uint8_t*>(hit) - buffer) : kNoMatch;
}

size_t FindBackward(const uint8_t* buffer, size_t length, const void* pattern,
                    size_t patternLength) {
  if (!Searchable(buffer, length, pattern, patternLength)) return kNoMatch;
  const auto* first = static_cast<const uint8_t*>(pattern);
  for (size_t at = length - patternLength + 1; at-- > 0;) {
    if (buffer[at] == first[0] && std::memcmp(buffer + at, pattern, patternLength) == 0) return at;
  }
  return kNoMatch;
}

}  // namespace salvora
