#include "results/RelationFile.h"

#include <string_view>

namespace salvora {
namespace {

// Reads decimal digits at `pos`; false when there are none. Values that do
// not fit wrap like the unsigned types they are stored in.
template <typename T>
bool ReadNumber(std::string_view text, size_t& pos, T& value) {
  size_t start = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = static_cast<T>(value * 10 + static_cast<T>(text[pos] - '0'));
    ++pos;
  }
  return pos > start;
}

}  // namespace

void ParseRelationText(const char* data, size_t length, RelationMap& out) {
  std::string_view text(data, length);
  size_t pos = text.find(" | ");
  while (pos != std::string_view::npos) {
    pos += 3;
    uint64_t key = 0;
    if (!ReadNumber(text, pos, key)) return;
    size_t open = text.find("- [", pos);
    if (open == std::string_view::npos) return;
    size_t close = text.find(']', open);
    if (close == std::string_view::npos) return;
    std::vector<uint32_t> children;
    size_t cursor = open + 3;
    while (cursor < close) {
      uint32_t child = 0;
      if (ReadNumber(text.substr(0, close), cursor, child)) children.push_back(child);
      else ++cursor;  // a separator or a stray character
    }
    out[key] = std::move(children);
    pos = text.find(" | ", close);
  }
}

std::string FormatRelationItem(uint64_t key, const std::vector<uint32_t>& children) {
  std::string item = " | " + std::to_string(key) + " - [";
  for (size_t i = 0; i < children.size(); ++i) {
    if (i) item += ',';
    item += std::to_string(children[i]);
  }
  item += ']';
  return item;
}

}  // namespace salvora
