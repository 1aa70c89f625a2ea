#pragma once
// Byte-pattern searches inside one buffer, used by every marker rule.
#include <cstddef>
#include <cstdint>

namespace salvora {

constexpr size_t kNoMatch = static_cast<size_t>(-1);

// Position of the first occurrence of the pattern, or kNoMatch (also for a
// missing buffer or pattern, an empty pattern, or one longer than the buffer).
size_t FindForward(const uint8_t* buffer, size_t length, const void* pattern, size_t patternLength);
// Position of the last occurrence, with the same rules.
size_t FindBackward(const uint8_t* buffer, size_t length, const void* pattern,
                    size_t patternLength);

}  // namespace salvora
