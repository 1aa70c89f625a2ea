#include "cli/SourceSpec.h"

#include <sys/stat.h>

#include <memory>

#include "platform/BlockDevices.h"
#include "platform/ErrorCodes.h"
#include "platform/RandomAccessFile.h"
#include "storage/DiskOrdinal.h"

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

// "@N": the entry numbered N in `salvora disks`.
bool ResolveOrdinalSource(const std::string& text, ScanSource& out, std::string& reason) {
  char* end = nullptr;
  unsigned long ordinal = std::strtoul(text.c_str() + 1, &end, 10);
  OrdinalPlace place;
  if (text.size() < 2 || *end != '\0' || ordinal == 0 || ordinal > UINT32_MAX ||
      !ResolveOrdinal(static_cast<uint32_t>(ordinal), place)) {
    reason = "there is no entry " + text + " in the disk list (see `salvora disks`)";
    return false;
  }
  out.kind = place.record.kind == EntryKind::kVolume      ? ScanSource::Kind::kPartition
             : place.record.kind == EntryKind::kWholeDisk ? ScanSource::Kind::kDisk
                                                          : ScanSource::Kind::kRegion;
  out.path = place.devicePath;
  out.diskNumber = place.diskNumber;
  out.firstSector = place.firstSector;
  out.sectorCount = place.sectorCount;
  out.sectorSize = place.record.bytesPerSector;
  out.sourceTag = static_cast<uint16_t>(ordinal);
  out.deviceToProtect = place.devicePath;
  return true;
}

}  // namespace

bool ResolveSource(const std::string& text, ScanSource& out, std::string& reason) {
  out = ScanSource();
  out.path = text;
  if (!text.empty() && text[0] == '@') return ResolveOrdinalSource(text, out, reason);
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
