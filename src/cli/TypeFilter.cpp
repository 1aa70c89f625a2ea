#include "cli/TypeFilter.h"

#include <cctype>
#include <sstream>

#include "results/TypeGroups.h"

namespace salvora {

bool BuildTypeFilter(const std::string& types, std::string& filter, std::string& reason) {
  if (types.empty()) {
    filter = KnownExtensions() + "|.other";
    return true;
  }
  filter.clear();
  std::stringstream items(types);
  std::string item;
  while (std::getline(items, item, ',')) {
    while (!item.empty() && (item.front() == '.' || item.front() == '*' || item.front() == ' '))
      item.erase(item.begin());
    while (!item.empty() && item.back() == ' ') item.pop_back();
    for (char& c : item) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (item.empty()) {
      reason = "--types has an empty item";
      return false;
    }
    std::string group = GroupListByName(item);
    if (!filter.empty()) filter += '|';
    filter += group.empty() ? "*." + item : group;
  }
  return true;
}

}  // namespace salvora
