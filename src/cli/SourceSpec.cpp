#include "cli/SourceSpec.h"

#include <sys/stat.h>

#include <memory>

#include "platform/BlockDevices.h"
#include "platform/ErrorCodes.h"
#include "platform/RandomAccessFile.h"

namespace salvora {
namespace {

bool ResolveBlockDevice(const std::string& path, ScanSource& out, std::string& reason) {
  std::unique_ptr<RandomAccessFile> file;
  if (OpenRandomAccessFile(path, file, &reason) != kOk) return false;
  out.sectorSize = file->LogicalSectorSize();
  out.deviceToProtect = path;
  PartitionLocation place;
  if (LocatePartition(path, place)) {
    out.kind = ScanSource::Kind::kPartition;
    out.diskNumber = place.diskNumber;
    out.firstSector = place.firstSector;
    out.sectorCount = place.sectorCount;
    out.sourceTag = static_cast<uint16_t>(place.partitionNumber);
    return true;
  }
  if (DiskNumberOfNode(path, out.diskNumber)) {
    out.kind = ScanSource::Kind::kDisk;
    out.firstSector = 0;
    out.sectorCount = file->Size() / out.sectorSize;
    out.sourceTag = static_cast<uint16_t>(out.diskNumber + 1);
    return true;
  }
  reason = path + " is a block device that is neither a disk nor a partition of one";
  return false;
}

}  // namespace

bool ResolveSource(const std::string& text, ScanSource& out, std::string& reason) {
  out = ScanSource();
  out.path = text;
  struct stat st {};
  if (::stat(text.c_str(), &st) != 0) {
    reason = "cannot find " + text;
    return false;
  }
  if (S_ISBLK(st.st_mode)) return ResolveBlockDevice(text, out, reason);
  if (!S_ISREG(st.st_mode)) {
    reason = text + " is neither an image file nor a block device";
    return false;
  }
  out.kind = ScanSource::Kind::kImage;
  out.sectorCount = static_cast<uint64_t>(st.st_size) / 512;
  return true;
}

}  // namespace salvora
