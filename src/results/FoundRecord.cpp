#include "results/FoundRecord.h"

#include <cstring>

namespace salvora {

void SetRecordName(char (&field)[kRecordNameBytes], const char* text, size_t length) {
  size_t n = length < kRecordNameBytes - 1 ? length : kRecordNameBytes - 1;
  // Never leave half a UTF-8 sequence at the cut.
  if (n < length) {
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(field, text, n);
  std::memset(field + n, 0, kRecordNameBytes - n);
}

void SetRecordName(char (&field)[kRecordNameBytes], const char* text) {
  SetRecordName(field, text, std::strlen(text));
}

size_t RecordNameLength(const char (&field)[kRecordNameBytes]) {
  const void* end = std::memchr(field, 0, kRecordNameBytes);
  return end ? static_cast<size_t>(static_cast<const char*>(end) - field) : kRecordNameBytes;
}

}  // namespace salvora
