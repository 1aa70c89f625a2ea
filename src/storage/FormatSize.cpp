#include "storage/FormatSize.h"

#include <cstdio>

namespace salvora {

std::string FormatSize(int64_t bytes) {
  struct Unit {
    int64_t size;
    const char* name;
  };
  static const Unit kUnits[] = {{1LL << 40, " TB"}, {1LL << 30, " GB"}, {1LL << 20, " MB"},
                                {1024, " KB"}};
  char text[64];
  for (const Unit& unit : kUnits) {
    if (bytes >= unit.size) {
      std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(bytes) / unit.size, unit.name);
      return text;
    }
  }
  std::snprintf(text, sizeof text, "%lld Bytes", static_cast<long long>(bytes));
  return text;
}

std::string FormatDuration(int64_t s) {
  char text[64];
  if (s > 3599)
    std::snprintf(text, sizeof text, "%lld Hour %lld Min", static_cast<long long>(s / 3600),
                  static_cast<long long>(s % 3600 / 60));
  else if (s > 59)
    std::snprintf(text, sizeof text, "%lld Min %lld Sec", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
  else
    std::snprintf(text, sizeof text, "%lld Sec", static_cast<long long>(s));
  return text;
}

}  // namespace salvora
