#pragma once
// printf-style message texts filled with checked arguments. The formats come
// from language files that translators edit, so a format is only ever used
// when its conversions match the arguments in number and kind; a translation
// with a wrong or extra placeholder is refused instead of reading arguments
// that were never passed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace salvora {

// One argument: a number (for %d %i %u %x %c) or a UTF-8 text (for %s %c).
struct MessageArg {
  MessageArg(int64_t value) : isText(false), number(value) {}
  MessageArg(int value) : isText(false), number(value) {}
  MessageArg(uint64_t value) : isText(false), number(static_cast<int64_t>(value)) {}
  MessageArg(uint32_t value) : isText(false), number(value) {}
  MessageArg(std::string value) : isText(true), text(std::move(value)) {}
  MessageArg(const char* value) : isText(true), text(value) {}

  bool isText;
  int64_t number = 0;
  std::string text;
};

// The format with its conversions replaced by the arguments, or nothing when
// they do not match. Understands flags, width, precision and the length
// prefixes h, hh, l, ll, I64, I32, z, j, t; "%%" is a percent sign.
std::optional<std::string> FormatChecked(std::string_view format,
                                         const std::vector<MessageArg>& args);

}  // namespace salvora
