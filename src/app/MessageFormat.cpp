#include "app/MessageFormat.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace salvora {
namespace {

constexpr int kMaxWidth = 64;

struct Conversion {
  std::string flags;
  int width = -1;
  int precision = -1;
  char type = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int ReadNumber(std::string_view format, size_t& at) {
  int value = 0;
  while (at < format.size() && IsDigit(format[at])) {
    value = value * 10 + (format[at] - '0');
    if (value > kMaxWidth) return -2;
    ++at;
  }
  return value;
}

void SkipLengthPrefix(std::string_view format, size_t& at) {
  for (std::string_view prefix : {"I64", "I32", "hh", "ll", "h", "l", "z", "j", "t"}) {
    if (format.substr(at, prefix.size()) == prefix) {
      at += prefix.size();
      return;
    }
  }
}

// Reads one conversion after its '%'; false on anything not understood.
bool ParseConversion(std::string_view format, size_t& at, Conversion& out) {
  while (at < format.size() && std::strchr("-+ 0#", format[at])) out.flags += format[at++];
  if (at < format.size() && IsDigit(format[at])) out.width = ReadNumber(format, at);
  if (at < format.size() && format[at] == '.') {
    ++at;
    out.precision = ReadNumber(format, at);
  }
  if (out.width == -2 || out.precision == -2) return false;
  SkipLengthPrefix(format, at);
  if (at >= format.size() || !std::strchr("diuxXcsS", format[at])) return false;
  out.type = format[at++];
  return true;
}

void Pad(std::string& text, const Conversion& c) {
  if (c.width <= 0 || static_cast<int>(text.size()) >= c.width) return;
  std::string padding(c.width - text.size(), ' ');
  text = c.flags.find('-') != std::string::npos ? text + padding : padding + text;
}

std::string FormatNumber(const Conversion& c, int64_t value) {
  std::string spec = "%" + c.flags;
  if (c.width >= 0) spec += std::to_string(c.width);
  if (c.precision >= 0) spec += "." + std::to_string(c.precision);
  char buffer[96];
  if (c.type == 'd' || c.type == 'i') {
    spec += PRId64;
    std::snprintf(buffer, sizeof buffer, spec.c_str(), value);
  } else {
    spec += c.type == 'u' ? PRIu64 : c.type == 'x' ? PRIx64 : PRIX64;
    std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<uint64_t>(value));
  }
  return buffer;
}

// A code point as UTF-8; letters and ordinals are what %c shows.
std::string CharText(int64_t codePoint) {
  if (codePoint < 0 || codePoint > 0x10FFFF) return "?";
  uint32_t cp = static_cast<uint32_t>(codePoint);
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// The argument's text under the conversion; false when the kinds differ.
bool Render(const Conversion& c, const MessageArg& arg, std::string& out) {
  std::string text;
  if (c.type == 's' || c.type == 'S') {
    if (!arg.isText) return false;
    text = arg.text;
  } else if (c.type == 'c') {
    text = arg.isText ? arg.text : CharText(arg.number);
  } else {
    if (arg.isText) return false;
    out += FormatNumber(c, arg.number);
    return true;
  }
  Pad(text, c);
  out += text;
  return true;
}

}  // namespace

std::optional<std::string> FormatChecked(std::string_view format,
                                         const std::vector<MessageArg>& args) {
  std::string out;
  size_t next = 0;
  for (size_t at = 0; at < format.size();) {
    if (format[at] != '%') {
      out += format[at++];
      continue;
    }
    ++at;
    if (at < format.size() && format[at] == '%') {
      out += '%';
      ++at;
      continue;
    }
    Conversion conversion;
    if (!ParseConversion(format, at, conversion) || next >= args.size() ||
        !Render(conversion, args[next++], out))
      return std::nullopt;
  }
  if (next != args.size()) return std::nullopt;
  return out;
}

}  // namespace salvora
