#pragma once
// The date and time fields FAT and exFAT entries share: a day as
// year-since-1980/month/day, a time of day in two-second steps.
#include <cstdint>

namespace salvora {

// FILETIME of a FAT date and time taken as they stand (FAT keeps local
// time); 0 for a date that cannot exist.
uint64_t FatTimeToFileTime(uint16_t date, uint16_t time, uint8_t tenMs = 0);

}  // namespace salvora
