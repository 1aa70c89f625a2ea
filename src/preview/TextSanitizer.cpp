#include "preview/TextSanitizer.h"

#include <cstdint>

#include "results/DisguisingCharacters.h"

namespace salvora::preview {
namespace {

// Length of the valid UTF-8 sequence at the start of `text`, 0 when invalid.
size_t ValidSequenceLength(std::string_view text) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(0);
  size_t length;
  uint32_t minimum;
  uint32_t code;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code >= minimum && code <= 0x10FFFF && !surrogate ? length : 0;
}

bool IsControl(uint8_t byte, LineBreaks lineBreaks) {
  if (byte == '\t' || (byte == '\n' && lineBreaks == LineBreaks::kKeep)) return false;
  return byte < 0x20 || byte == 0x7F;
}

}  // namespace

std::string SanitizeText(std::string_view raw, size_t maxBytes, LineBreaks lineBreaks) {
  std::string clean;
  while (!raw.empty()) {
    size_t length = ValidSequenceLength(raw);
    bool replace = length == 0 ||
                   (length == 1 && IsControl(static_cast<uint8_t>(raw[0]), lineBreaks)) ||
                   DisguisingSequenceLength(raw.substr(0, length)) != 0;
    size_t taken = length == 0 ? 1 : length;
    size_t added = replace ? 1 : taken;
    if (clean.size() + added > maxBytes) break;
    if (replace) {
      clean.push_back('?');
    } else {
      clean.append(raw.substr(0, taken));
    }
    raw.remove_prefix(taken);
  }
  return clean;
}

}  // namespace salvora::preview
