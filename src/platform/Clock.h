#pragma once
// Local time and the 100-nanosecond FILETIME counts (since 1601) that found
// records keep, whatever the platform.
#include <cstdint>
#include <string>

namespace salvora {

struct LocalTimeParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

LocalTimeParts LocalNow();

// FILETIME of a Unix time in seconds (UTC) plus 100 ns units.
uint64_t FileTimeFromUnix(int64_t seconds, uint32_t hundredNanos = 0);
// Seconds since 1970 of a FILETIME; times before 1970 give negative values.
int64_t UnixFromFileTime(uint64_t fileTime);
// "YYYY-MM-DD HH:MM:SS" of a FILETIME read as stored (no zone conversion);
// empty for 0.
std::string FormatFileTime(uint64_t fileTime);
// FILETIME of a calendar date and time taken as they are (FAT stores local
// times; they are kept unconverted). Returns 0 for an impossible date.
uint64_t FileTimeFromCalendar(int year, int month, int day, int hour, int minute, int second,
                              int hundredNanos = 0);

// Monotonic milliseconds for elapsed-time measurements.
uint64_t SteadyMilliseconds();

}  // namespace salvora
