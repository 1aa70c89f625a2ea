#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <random>

#include "platform/Clock.h"

namespace salvora {
namespace {

// What the C library's calendar makes of the same time.
std::string LibraryText(uint64_t fileTime) {
  std::time_t t = static_cast<std::time_t>(UnixFromFileTime(fileTime));
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

// Times from 1601 to the last FILETIME, leap days and the turns of days,
// years and centuries among them, read as the C library reads them.
TEST(FileTimeText, AgreesWithTheLibraryCalendarOverTheWholeRange) {
  std::vector<uint64_t> times = {1,
                                 FileTimeFromCalendar(1601, 1, 1, 0, 0, 1),
                                 FileTimeFromCalendar(1969, 12, 31, 23, 59, 59),
                                 FileTimeFromCalendar(1970, 1, 1, 0, 0, 0),
                                 FileTimeFromCalendar(2000, 2, 29, 12, 30, 1),
                                 FileTimeFromCalendar(2100, 2, 28, 23, 59, 59),
                                 FileTimeFromCalendar(2100, 3, 1, 0, 0, 0),
                                 FileTimeFromCalendar(9999, 12, 31, 23, 59, 59),
                                 FileTimeFromCalendar(10000, 1, 1, 0, 0, 0),
                                 UINT64_MAX};
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) times.push_back(random() >> (i % 8));
  for (uint64_t time : times)
    if (time != 0) {
      ASSERT_EQ(FormatFileTime(time), LibraryText(time)) << time;
    }
  EXPECT_EQ(FormatFileTime(FileTimeFromCalendar(2026, 12, 7, 9, 5, 3)), "2026-12-07 09:05:03");
  EXPECT_EQ(FormatFileTime(UINT64_MAX), "60056-05-28 05:36:10");
  EXPECT_EQ(FormatFileTime(0), "") << "no time at all";
}

}  // namespace
}  // namespace salvora
