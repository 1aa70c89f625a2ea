#pragma once
// Engine selection: reads the first 16 KiB of a volume, classifies it, and
// builds and opens the engine for the mode. No engine when the source
// cannot be read in full, or in quick mode for a volume of class other.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/IFileRecoveryParse.h"
#include "storage/VolumeClass.h"

namespace salvora {

struct SelectionResult {
  std::unique_ptr<IFileRecoveryParse> engine;
  VolumeClass volumeClass = VolumeClass::kOther;
  int error = 0;          // why the probe failed, when it did
  std::string message;    // a sentence for the user when there is no engine
};

class RandomAccessFile;

// The class of the volume `volumeOffset` bytes into `file`, whose first
// 16 KiB are `probe`; an ext volume is also found by a backup superblock.
VolumeClass ClassifyVolumeAt(RandomAccessFile& file, uint64_t volumeOffset,
                             const std::vector<uint8_t>& probe);

SelectionResult CreateDiskEngine(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                 uint16_t sourceTag, bool deepMode);
SelectionResult CreateImageEngine(const std::string& imagePath, uint16_t sourceTag, bool deepMode);

}  // namespace salvora
