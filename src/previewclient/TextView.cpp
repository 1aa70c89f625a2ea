#include "previewclient/TextView.h"

#include <fstream>
#include <vector>

namespace salvora {
namespace {

void AppendLatin1(uint8_t byte, std::string* text) {
  if (byte < 0x80) {
    text->push_back(static_cast<char>(byte));
  } else {
    text->push_back(static_cast<char>(0xC0 | (byte >> 6)));
    text->push_back(static_cast<char>(0x80 | (byte & 0x3F)));
  }
}

}  // namespace

std::string FormatTextView(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 2 + 2 * (bytes.size() / kTextViewLineLength) + 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    AppendLatin1(bytes[i] == 0 ? '.' : bytes[i], &text);
    if ((i + 1) % kTextViewLineLength == 0) text += "\r\n";
  }
  if (bytes.empty() || bytes.size() % kTextViewLineLength != 0) text += "\r\n";
  return text;
}

std::string TextViewOfFile(const std::filesystem::path& path) {
  std::vector<uint8_t> head(kTextViewBytes);
  std::ifstream file(path, std::ios::binary);
  file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(file ? head.size() : static_cast<size_t>(file.gcount()));
  return FormatTextView(head);
}

}  // namespace salvora
