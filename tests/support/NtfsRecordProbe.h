#pragma once
// What a volume's own FILE record says, read straight from an image, so a
// test can show the case it covers really is on the volume.
#include <cstdint>
#include <optional>
#include <string>

namespace salvora::test {

// The size in the first $FILE_NAME of the 1024-byte record at `sector`
// (512-byte sectors) of `image`; empty when no record or name is there.
std::optional<uint64_t> FileNameSizeOfRecord(const std::string& image, uint64_t sector);

}  // namespace salvora::test
