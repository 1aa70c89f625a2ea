#include "results/StoreName.h"

#include <cstdio>

namespace salvora {

std::string FormatStoreName(const char* prefix, int64_t firstSector, const LocalTimeParts& when) {
  char text[128];
  std::snprintf(text, sizeof text, "%s%lld_%d%d%d%d%2d", prefix,
                static_cast<long long>(firstSector), when.year, when.month, when.day, when.hour,
                when.minute);
  return text;
}

std::string FormatStoreName(const char* prefix, int64_t firstSector) {
  return FormatStoreName(prefix, firstSector, LocalNow());
}

}  // namespace salvora
