#pragma once
// Text conversions for names stored on FAT volumes: 8.3 names in code page
// 437 and long names in UTF-16, both turned into UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

namespace salvora {

// Appends the code page 437 bytes as UTF-8.
void AppendCp437(const uint8_t* bytes, size_t length, std::string& out);

// UTF-16 units up to the first 0 (or `length`) as UTF-8; an unpaired
// surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const char16_t* units, size_t length);

}  // namespace salvora
