#pragma once
// What the first 16 KiB of a volume say it is.
#include <cstddef>
#include <cstdint>

namespace salvora {

constexpr size_t kProbeBytes = 0x4000;

enum class VolumeClass { kNtfs, kFat, kExt, kOther };

// Classifies a 16 KiB probe: NTFS first, then FAT (never an encrypted
// volume), then ext, else other.
VolumeClass ClassifyVolume(const uint8_t* probe, size_t length);
bool IsNtfsBootSector(const uint8_t* sector, size_t length);
bool IsFatBootSector(const uint8_t* sector, size_t length);
const char* VolumeClassName(VolumeClass volumeClass);

}  // namespace salvora
