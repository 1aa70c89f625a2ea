#include "platform/VolumeFreeSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/BlockDevices.h"
#include "platform/Clock.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

// The node of the volume: the whole disk itself, or the partition that
// starts at `firstSector` with `sectorCount` sectors.
std::string VolumeNode(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount) {
  std::string diskPath;
  if (!DiskDevicePath(diskNumber, diskPath)) return {};
  if (firstSector == 0) return diskPath;
  std::string diskName = fs::path(diskPath).filename().string();
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/block/" + diskName, ec)) {
    std::string node = "/dev/" + entry.path().filename().string();
    PartitionLocation location;
    if (LocatePartition(node, location) && location.firstSector == firstSector &&
        location.sectorCount == sectorCount)
      return node;
  }
  return {};
}

// Where the device with this number is mounted, from mountinfo.
std::string MountPointOf(dev_t device) {
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, numbers, root, mountPoint;
    if (fields >> id >> parent >> numbers >> root >> mountPoint && numbers == wanted)
      return mountPoint;
  }
  return {};
}

}  // namespace

uint64_t VolumeFreeBytes(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount) {
  std::string node = VolumeNode(diskNumber, firstSector, sectorCount);
  struct stat st {};
  if (node.empty() || ::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return 0;
  std::string mountPoint = MountPointOf(st.st_rdev);
  struct statvfs vfs {};
  if (mountPoint.empty() || ::statvfs(mountPoint.c_str(), &vfs) != 0) return 0;
  return static_cast<uint64_t>(vfs.f_bfree) * vfs.f_frsize;
}

uint64_t FileWriteTime(const char* path) {
  struct stat st {};
  if (::stat(path, &st) != 0) return 0;
  return FileTimeFromUnix(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec / 100));
}

}  // namespace salvora
