#include "clusters/FatTime.h"

#include "platform/Clock.h"

namespace salvora {

uint64_t FatTimeToFileTime(uint16_t date, uint16_t time, uint8_t tenMs) {
  if (tenMs > 199) tenMs = 0;
  int year = 1980 + (date >> 9);
  int month = (date >> 5) & 0x0F;
  int day = date & 0x1F;
  int hour = time >> 11;
  int minute = (time >> 5) & 0x3F;
  int second = (time & 0x1F) * 2 + tenMs / 100;
  int hundredNanos = (tenMs % 100) * 100000;
  return FileTimeFromCalendar(year, month, day, hour, minute, second, hundredNanos);
}

}  // namespace salvora
