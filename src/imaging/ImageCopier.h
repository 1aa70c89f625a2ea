#pragma once
// Copies a disk, a partition or a stretch of a disk sector by sector into a
// raw image file: byte i of the image is byte firstSector x sectorSize + i
// of the disk, with no header and nothing added.
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/RescueMap.h"
#include "storage/SectorSource.h"

namespace salvora {

// Progress of an image run; secondsLeft is -1 until the first estimate.
// Returns 0 to go on; any other value stops the run, which returns it.
using ImageProgressFn = int (*)(void* user, int32_t percent, uint64_t sectorsDone,
                                uint64_t sectorsTotal, int32_t secondsLeft);

// How a failing disk is met. By default the first unreadable chunk ends the
// run with a read fault. With `skipUnreadable` the chunk is read again
// sector by sector, sectors that still fail become zeros in the image and
// the copy goes on; the mapfile (when a path is given) lists them with
// positions counted from `mapOrigin` on the device ddrescue will read.
struct UnreadablePolicy {
  bool skipUnreadable = false;
  std::string mapfilePath;
  uint64_t mapOrigin = 0;
};

class ImageCopier {
 public:
  ImageCopier(ImageProgressFn progress, void* user) : progress_(progress), user_(user) {}

  void SetUnreadablePolicy(const UnreadablePolicy& policy) { policy_ = policy; }

  // Copies `sectorCount` sectors from `firstSector` of disk number N into
  // `target` (0 sectors: to the end of the disk). Returns 0, the code of the
  // failing read (30) or write, or the callback's stop value.
  int Run(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
          const std::string& target);
  // The same from a source that is already open (an image file, or a test
  // double of a failing disk).
  int RunFrom(SectorSource& source, uint64_t firstSector, uint64_t sectorCount,
              const std::string& target);

  uint32_t SectorSize() const { return sectorSize_; }
  uint64_t UnreadableSectors() const;
  // Bytes at the start of the image that hold the source's data; after a
  // failed run, where the failing chunk begins.
  uint64_t CopiedBytes() const { return copiedBytes_; }
  const RescueMap& Map() const { return map_; }

 private:
  int CopyAll(SectorSource& source, uint64_t firstSector, OutputFile& image);
  int ReadChunk(SectorSource& source, uint64_t sector, uint32_t count, uint64_t imageOffset);
  int WriteMapfile(uint64_t copiedBytes) const;

  ImageProgressFn progress_;
  void* user_;
  UnreadablePolicy policy_;
  uint32_t sectorSize_ = 512;
  uint64_t totalBytes_ = 0;
  uint64_t copiedBytes_ = 0;
  RescueMap map_;
  std::vector<uint8_t> buffer_;
};

}  // namespace salvora
