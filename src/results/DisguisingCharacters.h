#pragma once
// Characters that change how the text around them is shown without being
// seen themselves: C1 controls, the bidirectional embeddings, overrides and
// isolates, and the line and paragraph separators. In a found name they can
// make "gpj.exe" read as "exe.jpg"; every display and file name replaces them.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace salvora {

constexpr bool IsDisguisingCodePoint(uint32_t code) {
  return (code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// The length of the UTF-8 encoded disguising character at the start of
// `text`, 0 when there is none. Bytes that are not valid UTF-8 are left to
// the caller.
constexpr size_t DisguisingSequenceLength(std::string_view text) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  if (text.size() >= 2 && byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) return 2;
  if (text.size() < 3 || byte(0) != 0xE2 || (byte(2) & 0xC0) != 0x80) return 0;
  if (byte(1) != 0x80 && byte(1) != 0x81) return 0;
  uint32_t code = 0x2000u | (uint32_t{byte(1)} & 0x3Fu) << 6 | (byte(2) & 0x3Fu);
  return IsDisguisingCodePoint(code) ? 3 : 0;
}

}  // namespace salvora
