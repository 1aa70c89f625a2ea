#include "results/NamePattern.h"

#include <algorithm>

namespace salvora {
namespace {

// Bytes that are not valid UTF-8 become code points no letter uses.
constexpr char32_t kStrayByteBase = 0xDC00;

// Lower case of the scripts found-file names are mostly written in (Latin,
// Greek, Cyrillic); other code points are their own fold.
char32_t FoldCase(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  // Latin Extended-A and Cyrillic beyond the basic letters pair upper and
  // lower case as even and odd neighbours.
  bool evenPairs = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) ||
                   (c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF);
  if (evenPairs) return c | 1;
  bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (oddPairs && (c & 1)) return c + 1;
  return c;
}

// Decodes one sequence at `text[at]`; returns its length (1 for a stray byte).
size_t DecodeOne(std::string_view text, size_t at, char32_t& out) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(at);
  size_t length = lead < 0x80 ? 1 : lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3
                  : lead >= 0xC2                                ? 2
                                                                : 0;
  if (length == 1) {
    out = lead;
    return 1;
  }
  if (length == 0 || at + length > text.size()) {
    out = kStrayByteBase + lead;
    return 1;
  }
  char32_t value = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      out = kStrayByteBase + lead;
      return 1;
    }
    value = value << 6 | (byte(at + i) & 0x3F);
  }
  static const char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  bool valid = value >= kSmallest[length] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
  out = valid ? value : kStrayByteBase + lead;
  return valid ? length : 1;
}

// `*` any run, `?` one code point; backtracks only to the last star, so a
// hostile pattern costs at most name times pattern steps.
bool WildcardMatch(std::u32string_view pattern, std::u32string_view name) {
  size_t p = 0, n = 0, starAt = std::u32string_view::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      starAt = p++;
      resumeAt = n;
    } else if (starAt != std::u32string_view::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

void FoldUtf8(std::string_view text, std::u32string& out) {
  out.clear();
  for (size_t at = 0; at < text.size();) {
    char32_t c;
    at += DecodeOne(text, at, c);
    out.push_back(FoldCase(c));
  }
}

NamePattern::NamePattern(std::string_view pattern) {
  FoldUtf8(pattern, pattern_);
  wildcard_ = pattern_.find_first_of(U"*?") != std::u32string::npos;
}

bool NamePattern::Matches(std::string_view name) const {
  if (pattern_.empty()) return true;
  FoldUtf8(name, folded_);
  if (wildcard_) return WildcardMatch(pattern_, folded_);
  return std::u32string_view(folded_).find(pattern_) != std::u32string_view::npos;
}

}  // namespace salvora
