#pragma once
// A volume a job reads, named so that it is still the same volume when it
// runs: disks are numbered afresh as others come and go, so a volume of a
// disk is known by the node of its whole disk and its place on it, and the
// disk's number is looked up only when the engine is made.
#include <cstdint>
#include <string>

#include "storage/EngineSelection.h"

namespace salvora {

struct JobSource {
  // An image file read as one volume; empty for a volume of a disk.
  std::string imagePath;
  // The node of the whole disk holding the volume ("/dev/sdb"), or an image
  // file of a whole disk.
  std::string diskPath;
  // The disk's number when it was listed; used only for a disk that no node
  // names (an image of a whole disk).
  uint32_t listedDiskNumber = 0;
  uint64_t firstSector = 0;  // on the disk, in its logical sectors
  uint64_t sectorCount = 0;  // 0 for imaging: to the end of the disk
  uint16_t sourceTag = 1;    // goes into every record the scan finds

  bool IsImage() const { return !imagePath.empty(); }
};

// The number the source's disk has now; false when its node is gone.
bool CurrentDiskNumber(const JobSource& source, uint32_t& diskNumber);

// Engine selection for the source, in quick or deep mode.
SelectionResult SelectSourceEngine(const JobSource& source, bool deep);

}  // namespace salvora
