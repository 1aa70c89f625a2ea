#pragma once
// 8.3 names on FAT volumes are in code page 437; long names are UTF-16
// (platform/Utf16.h). Both become UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Utf16.h"

namespace salvora {

// Appends the code page 437 bytes as UTF-8.
void AppendCp437(const uint8_t* bytes, size_t length, std::string& out);

}  // namespace salvora
