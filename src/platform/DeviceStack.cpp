#include "platform/DeviceStack.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>

#include "platform/BlockDevices.h"
#include "platform/Mounts.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

// Stacks deeper than this are not followed; it also ends any loop a
// misconfigured loop device could make.
constexpr int kMaxStackDepth = 8;

fs::path SysfsFolder(uint32_t major, uint32_t minor) {
  std::error_code ec;
  fs::path folder =
      fs::canonical("/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor), ec);
  return ec ? fs::path() : folder;
}

std::string DiskNameOfFolder(const fs::path& folder) {
  std::error_code ec;
  if (fs::exists(folder / "partition", ec)) return folder.parent_path().filename().string();
  return folder.filename().string();
}

bool PathOnDisk(const std::string& path, const std::string& diskName, int depth);

bool DeviceOnDisk(const fs::path& folder, const std::string& diskName, int depth) {
  if (folder.empty() || depth > kMaxStackDepth) return false;
  std::string name = DiskNameOfFolder(folder);
  if (name == diskName) return true;
  std::error_code ec;
  for (const auto& slave : fs::directory_iterator(folder / "slaves", ec)) {
    if (DeviceOnDisk(fs::canonical(slave.path(), ec), diskName, depth + 1)) return true;
  }
  std::string backing = ReadSysfsText("/sys/block/" + name + "/loop/backing_file");
  return !backing.empty() && PathOnDisk(backing, diskName, depth + 1);
}

bool PathOnDisk(const std::string& path, const std::string& diskName, int depth) {
  uint32_t major = 0, minor = 0;
  if (!BackingDeviceOfPath(path, major, minor)) return false;
  return DeviceOnDisk(SysfsFolder(major, minor), diskName, depth);
}

}  // namespace

bool WholeDiskNameOfNode(const std::string& nodePath, std::string& diskName) {
  struct stat st {};
  if (::stat(nodePath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  fs::path folder = SysfsFolder(::major(st.st_rdev), ::minor(st.st_rdev));
  if (folder.empty()) return false;
  diskName = DiskNameOfFolder(folder);
  return true;
}

bool PathIsStoredOnDisk(const std::string& path, const std::string& diskName) {
  return PathOnDisk(path, diskName, 0);
}

}  // namespace salvora
