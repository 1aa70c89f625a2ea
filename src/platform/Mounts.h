#pragma once
// Mounted file systems from /proc/self/mountinfo, and the free space and
// backing block device of the file system that holds a path.
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

struct MountEntry {
  uint32_t major = 0, minor = 0;  // st_dev of files on it (0:N for FUSE)
  std::string mountPoint;
  std::string fileSystemType;  // "vfat", "fuseblk", "ext4" ...
  std::string source;          // "/dev/sdb1", or whatever the mount names
};

// One line of mountinfo; false when the line does not have its fields.
bool ParseMountInfoLine(const std::string& line, MountEntry& out);
std::vector<MountEntry> ReadMounts();

// The first mount of a block device, found by its device number or, for
// FUSE file systems, by the device node they name as their source.
bool FindMountOfDevice(uint32_t major, uint32_t minor, MountEntry& out);

// The mount that holds a path (or its nearest existing parent).
bool FindMountOfPath(const std::string& path, MountEntry& out);

// The block device number behind the file system that holds a path; false
// when it is not on a block device (tmpfs, network file systems).
bool BackingDeviceOfPath(const std::string& path, uint32_t& major, uint32_t& minor);

// Writes out what the kernel still holds for the file system mounted at
// `mountPoint` (syncfs), so that reads of its device see what it stores.
int SyncFileSystem(const std::string& mountPoint);

// Total and free bytes of the file system that holds a path.
int FileSystemSpace(const std::string& path, uint64_t& totalBytes, uint64_t& freeBytes);

}  // namespace salvora
