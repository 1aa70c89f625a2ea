#include "ext/ExtNameText.h"

namespace salvora {
namespace {

// Length of the valid UTF-8 sequence at `p`, 0 when there is none.
size_t SequenceLength(const uint8_t* p, size_t left) {
  uint8_t lead = p[0];
  if (lead < 0x80) return 1;
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || length > left || (lead >= 0xF0 && lead > 0xF4)) return 0;
  for (size_t i = 1; i < length; ++i)
    if ((p[i] & 0xC0) != 0x80) return 0;
  // Overlong forms, surrogates and code points past U+10FFFF.
  if (lead == 0xE0 && p[1] < 0xA0) return 0;
  if (lead == 0xED && p[1] >= 0xA0) return 0;
  if (lead == 0xF0 && p[1] < 0x90) return 0;
  if (lead == 0xF4 && p[1] >= 0x90) return 0;
  return length;
}

}  // namespace

std::string ExtNameToUtf8(const uint8_t* bytes, size_t length) {
  std::string text;
  text.reserve(length);
  for (size_t at = 0; at < length;) {
    size_t sequence = SequenceLength(bytes + at, length - at);
    if (sequence == 0) {
      text += "\xEF\xBF\xBD";
      ++at;
    } else {
      text.append(reinterpret_cast<const char*>(bytes + at), sequence);
      at += sequence;
    }
  }
  return text;
}

}  // namespace salvora
