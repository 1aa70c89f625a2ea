#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace salvora {
namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// The proleptic Gregorian date of a day counted from 1970-01-01.
void CivilFromDays(int64_t days, int64_t& y, unsigned& m, unsigned& d) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

// `value` in `width` digits, zero-padded, ending at `end`.
void PutDigits(char* end, uint64_t value, int width) {
  for (int i = 0; i < width; ++i, value /= 10) *--end = static_cast<char>('0' + value % 10);
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

}  // namespace

LocalTimeParts LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

uint64_t FileTimeFromUnix(int64_t seconds, uint32_t hundredNanos) {
  int64_t since1601 = seconds + kSecondsFrom1601To1970;
  if (since1601 < 0) return 0;
  return static_cast<uint64_t>(since1601) * kTicksPerSecond + hundredNanos;
}

int64_t UnixFromFileTime(uint64_t fileTime) {
  return static_cast<int64_t>(fileTime / kTicksPerSecond) - kSecondsFrom1601To1970;
}

uint64_t FileTimeFromCalendar(int year, int month, int day, int hour, int minute, int second,
                              int hundredNanos) {
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
    return 0;
  int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  return FileTimeFromUnix(seconds, static_cast<uint32_t>(hundredNanos));
}

// Listings show a time for each of thousands of files: worked out here, not
// through the C library's calendar and format calls.
std::string FormatFileTime(uint64_t fileTime) {
  if (fileTime == 0) return {};
  const int64_t seconds = UnixFromFileTime(fileTime);
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const uint64_t daySeconds = static_cast<uint64_t>(seconds - days * 86400);
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, year, month, day);
  // FILETIME reaches no further than the year 60056: four or five digits.
  const int yearDigits = year > 9999 ? 5 : 4;
  char text[] = "00000-00-00 00:00:00";
  char* at = text + (5 - yearDigits);
  PutDigits(text + 5, static_cast<uint64_t>(year), yearDigits);
  PutDigits(text + 8, month, 2);
  PutDigits(text + 11, day, 2);
  PutDigits(text + 14, daySeconds / 3600, 2);
  PutDigits(text + 17, daySeconds / 60 % 60, 2);
  PutDigits(text + 20, daySeconds % 60, 2);
  return std::string(at, text + sizeof text - 1 - at);
}

uint64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace salvora
