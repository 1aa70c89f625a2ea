#pragma once
// Fuzz input as a read-only disk in memory, padded to whole sectors.
#include <memory>
#include <string>

#include "platform/MemoryFile.h"
#include "storage/SectorSource.h"

namespace salvora::fuzz {

inline void AttachImage(SectorSource& source, const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  bytes.resize((size + 511) / 512 * 512, '\0');
  auto image = std::make_unique<MemoryFile>(std::move(bytes));
  uint64_t sectors = image->Size() / 512;
  source.Attach(std::move(image), sectors);
}

}  // namespace salvora::fuzz
