#include "results/ListingOrder.h"

#include <algorithm>

namespace salvora {
namespace {

unsigned char Folded(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + 32) : byte;
}

// A record's place in the sort, small enough that comparing two of them
// rarely leaves the cache: the first sixteen letters of the name (names
// often share a start such as "IMG_"), folded and zero-padded, so that a
// shorter name sorts first. Ties go to the whole names, unless both fit
// in the key: then they are the same name.
struct SortKey {
  uint64_t high, low;
  uint32_t index;
  bool folder;
  bool whole;  // the name has no more than the sixteen letters
};

constexpr size_t kKeyLetters = 16;

uint64_t NameBytes(std::string_view name, size_t from) {
  uint64_t bytes = 0;
  for (size_t i = from; i < from + 8; ++i)
    bytes = bytes << 8 | (i < name.size() ? Folded(name[i]) : 0);
  return bytes;
}

}  // namespace

bool NameBefore(std::string_view a, std::string_view b) {
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    unsigned char ca = Folded(a[i]), cb = Folded(b[i]);
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

std::vector<uint32_t> ListingOrder(size_t count,
                                   const std::function<std::string_view(uint32_t)>& nameOf,
                                   const std::function<bool(uint32_t)>& isFolder) {
  std::vector<SortKey> keys(count);
  for (uint32_t i = 0; i < count; ++i) {
    std::string_view name = nameOf(i);
    keys[i] = {NameBytes(name, 0), NameBytes(name, 8), i, isFolder(i), name.size() <= kKeyLetters};
  }
  std::sort(keys.begin(), keys.end(), [&](const SortKey& a, const SortKey& b) {
    if (a.folder != b.folder) return b.folder;
    if (a.high != b.high) return a.high < b.high;
    if (a.low != b.low) return a.low < b.low;
    if (a.whole && b.whole) return false;
    return NameBefore(nameOf(a.index), nameOf(b.index));
  });
  std::vector<uint32_t> order(count);
  for (uint32_t i = 0; i < count; ++i) order[i] = keys[i].index;
  return order;
}

}  // namespace salvora
