#include "platform/DiskGeometry.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/DiskPartitions.h"

namespace salvora {
namespace {

void ReadHeadsAndSectors(const std::string& devicePath, DiskGeometry& out) {
  int fd = ::open(devicePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  struct hd_geometry geometry {};
  if (::ioctl(fd, HDIO_GETGEO, &geometry) == 0 && geometry.heads != 0 && geometry.sectors != 0) {
    out.tracksPerCylinder = geometry.heads;
    out.sectorsPerTrack = geometry.sectors;
  }
  ::close(fd);
}

}  // namespace

bool ReadDiskGeometry(const WholeDisk& disk, DiskGeometry& out) {
  out = DiskGeometry();
  out.bytesPerSector = DiskLogicalSectorSize(disk);
  out.totalSectors = DiskSizeBytes(disk) / out.bytesPerSector;
  if (out.totalSectors == 0) return false;
  ReadHeadsAndSectors(disk.devicePath, out);
  return true;
}

}  // namespace salvora
