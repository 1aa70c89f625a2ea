#include "storage/DiskHelpers.h"

#include "platform/BlockDevices.h"
#include "platform/DiskPartitions.h"
#include "platform/ErrorCodes.h"
#include "platform/Mounts.h"
#include "platform/VolumeProbe.h"

namespace salvora {
namespace {

bool FindDisk(uint32_t diskNumber, WholeDisk& out) {
  for (const WholeDisk& disk : ListWholeDisks()) {
    if (disk.number == diskNumber) {
      out = disk;
      return true;
    }
  }
  return false;
}

bool IsFatType(const std::string& type) { return type == "vfat" || type == "msdos"; }

}  // namespace

bool IsRemovableDisk(uint32_t diskNumber) {
  WholeDisk disk;
  return FindDisk(diskNumber, disk) && IsRemovableDiskName(disk.name);
}

int DiskLength(uint32_t diskNumber, uint64_t& lengthBytes) {
  WholeDisk disk;
  if (!FindDisk(diskNumber, disk)) return kFileNotFound;
  lengthBytes = DiskSizeBytes(disk);
  return kOk;
}

int FreeSpaceOf(const std::string& path, uint64_t& freeBytes) {
  uint64_t total = 0;
  return FileSystemSpace(path, total, freeBytes);
}

int FileSystemNameOf(const std::string& path, std::string& name) {
  MountEntry mount;
  if (!FindMountOfPath(path, mount)) return kFileNotFound;
  name = mount.fileSystemType;
  VolumeFacts facts;
  bool isDevice = mount.source.rfind("/dev/", 0) == 0;
  if (isDevice && ProbeVolume(mount.source, facts) && !facts.fileSystemName.empty()) {
    name = facts.fileSystemName;
  } else if (IsFatType(mount.fileSystemType)) {
    // Without the right to read the device, take the larger FAT's limits;
    // the free-space check still stops what cannot fit.
    name = "FAT32";
  }
  return kOk;
}

}  // namespace salvora
