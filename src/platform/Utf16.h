#pragma once
// Names on disk are UTF-16; names in records and paths are UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

// Appends a code point as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

// Converts up to `count` units, stopping at the first NUL. A surrogate
// without its partner becomes U+FFFD, so the result is always valid UTF-8.
std::string Utf16ToUtf8(const char16_t* units, size_t count);

// The same for units stored little-endian in a byte buffer (2 × count bytes).
std::string Utf16LeToUtf8(const uint8_t* bytes, size_t count);

}  // namespace salvora
