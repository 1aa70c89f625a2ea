#pragma once
// Names as people count: "IMG_2" before "IMG_10", letters in either case
// together. Runs of digits compare by their value, the rest byte by byte
// with A-Z folded to a-z.
#include <string>
#include <string_view>

namespace salvora {

// A key whose plain byte order is the natural order of the names, so that
// long lists sort by cheap comparisons: each run of digits becomes '0', its
// length without leading zeros, and those digits.
void AppendNaturalKey(std::string_view name, std::string& out);

// Negative, zero or positive as `a` sorts before, with or after `b`.
int NaturalCompare(std::string_view a, std::string_view b);

}  // namespace salvora
