#include "jobs/JobSource.h"

#include "platform/BlockDevices.h"
#include "platform/ErrorCodes.h"

namespace salvora {

bool CurrentDiskNumber(const JobSource& source, uint32_t& diskNumber) {
  diskNumber = source.listedDiskNumber;
  if (source.diskPath.rfind("/dev/", 0) != 0) return true;
  return DiskNumberOfNode(source.diskPath, diskNumber);
}

SelectionResult SelectSourceEngine(const JobSource& source, bool deep) {
  if (source.IsImage()) return CreateImageEngine(source.imagePath, source.sourceTag, deep);
  uint32_t diskNumber = 0;
  if (!CurrentDiskNumber(source, diskNumber)) {
    SelectionResult gone;
    gone.error = kFileNotFound;
    gone.message = source.diskPath + " is no longer attached";
    return gone;
  }
  return CreateDiskEngine(diskNumber, source.firstSector, source.sectorCount, source.sourceTag,
                          deep);
}

}  // namespace salvora
