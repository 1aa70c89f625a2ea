#include "results/NaturalOrder.h"

#include <algorithm>

namespace salvora {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void AppendNaturalKey(std::string_view name, std::string& out) {
  for (size_t i = 0; i < name.size();) {
    if (!IsDigit(name[i])) {
      char c = name[i++];
      out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
      continue;
    }
    while (i < name.size() && name[i] == '0') ++i;
    size_t start = i;
    while (i < name.size() && IsDigit(name[i])) ++i;
    // Every digit of a name lies in a run, so '0' marks runs alone; a
    // longer number is a larger one (names hold at most 259 digits).
    out.push_back('0');
    out.push_back(static_cast<char>(std::min<size_t>(i - start, 255)));
    out.append(name.substr(start, i - start));
  }
}

int NaturalCompare(std::string_view a, std::string_view b) {
  std::string keyA, keyB;
  AppendNaturalKey(a, keyA);
  AppendNaturalKey(b, keyB);
  int order = keyA.compare(keyB);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

}  // namespace salvora
