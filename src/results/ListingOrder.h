#pragma once
// The order every listing shows: files before folders, then names compared
// byte by byte with A-Z folded to a-z, a shorter name before a longer one
// it begins. Shared by listings of whole records and of compactly held
// ones: the same records in the same order sort alike in both.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace salvora {

// Whether name `a` comes before name `b`.
bool NameBefore(std::string_view a, std::string_view b);

// The positions 0..count-1 of records in listing order.
std::vector<uint32_t> ListingOrder(size_t count,
                                   const std::function<std::string_view(uint32_t)>& nameOf,
                                   const std::function<bool(uint32_t)>& isFolder);

// Moves the item at at(order[i]) to at(i) for every i, cycle by cycle, so
// that only one item is ever held aside: a listing is never copied whole.
template <typename At>
void MoveIntoOrder(std::vector<uint32_t> order, At at) {
  for (uint32_t start = 0; start < order.size(); ++start) {
    if (order[start] == start) continue;
    auto held = at(start);
    uint32_t place = start;
    while (order[place] != start) {
      uint32_t from = order[place];
      at(place) = at(from);
      order[place] = place;
      place = from;
    }
    at(place) = held;
    order[place] = place;
  }
}

}  // namespace salvora
