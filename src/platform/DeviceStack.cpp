#include "platform/DeviceStack.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/BlockDevices.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

// Stacks deeper than this are not followed; it also ends any loop a
// misconfigured loop device could make.
constexpr int kMaxStackDepth = 8;

// How far below a loop device the walk goes: a place written to goes on
// down to the disks holding the backing file (a sparse file grows into
// their free space); a source is only the file, whose blocks it owns.
enum class Backing { kFollowToDisks, kFileOnly };

fs::path SysfsFolder(uint64_t device) {
  std::error_code ec;
  fs::path folder = fs::canonical(
      "/sys/dev/block/" + std::to_string(::major(device)) + ":" + std::to_string(::minor(device)),
      ec);
  return ec ? fs::path() : folder;
}

bool DeviceNumberOfFolder(const fs::path& folder, uint64_t& device) {
  unsigned major = 0, minor = 0;
  std::string text = ReadSysfsText((folder / "dev").string());
  if (std::sscanf(text.c_str(), "%u:%u", &major, &minor) != 2) return false;
  device = ::makedev(major, minor);
  return true;
}

fs::path WholeDiskFolder(const fs::path& folder) {
  std::error_code ec;
  return fs::exists(folder / "partition", ec) ? folder.parent_path() : folder;
}

bool FileIdentity(const std::string& path, std::pair<uint64_t, uint64_t>& id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  id = {st.st_dev, st.st_ino};
  return true;
}

void AddPath(const std::string& path, int depth, StorageStack& out);

void AddDevice(const fs::path& folder, Backing backing, int depth, StorageStack& out) {
  uint64_t device = 0;
  if (folder.empty() || depth > kMaxStackDepth || !DeviceNumberOfFolder(folder, device)) return;
  if (!out.devices.insert(device).second) return;
  fs::path disk = WholeDiskFolder(folder);
  uint64_t diskDevice = 0;
  if (DeviceNumberOfFolder(disk, diskDevice)) out.devices.insert(diskDevice);
  out.disks.insert(disk.filename().string());
  // A partition of a stacked disk (md0p1, a partitioned dm device) has its
  // slaves on the disk.
  std::error_code ec;
  for (const fs::path& level : {folder, disk}) {
    for (const auto& slave : fs::directory_iterator(level / "slaves", ec))
      AddDevice(fs::canonical(slave.path(), ec), backing, depth + 1, out);
  }
  std::string file = ReadSysfsText((disk / "loop" / "backing_file").string());
  std::pair<uint64_t, uint64_t> id;
  if (file.empty() || !FileIdentity(file, id)) return;
  out.files.insert(id);
  if (backing == Backing::kFollowToDisks) AddPath(file, depth + 1, out);
}

void AddPath(const std::string& path, int depth, StorageStack& out) {
  uint32_t major = 0, minor = 0;
  if (!BackingDeviceOfPath(path, major, minor)) return;
  AddDevice(SysfsFolder(::makedev(major, minor)), Backing::kFollowToDisks, depth, out);
}

template <typename T>
bool Share(const std::set<T>& a, const std::set<T>& b) {
  return std::any_of(a.begin(), a.end(), [&](const T& item) { return b.count(item) != 0; });
}

bool Touches(const StorageStack& place, const StorageStack& source) {
  return Share(place.disks, source.disks) || Share(place.files, source.files);
}

bool BlockNodeNumber(const std::string& node, uint64_t& device) {
  struct stat st {};
  if (node.empty() || node[0] != '/' || ::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
    return false;
  device = st.st_rdev;
  return true;
}

// The block device a mount reads, without touching the mounted file system
// (a hung network mount must not hang the check).
fs::path DeviceFolderOfMount(const MountEntry& mount) {
  fs::path folder = SysfsFolder(::makedev(mount.major, mount.minor));
  uint64_t device = 0;
  if (folder.empty() && BlockNodeNumber(mount.source, device)) folder = SysfsFolder(device);
  return folder;
}

}  // namespace

StorageStack StackUnderPath(const std::string& path) {
  StorageStack stack;
  AddPath(path, 0, stack);
  return stack;
}

StorageStack StackOfSource(const std::string& source) {
  StorageStack stack;
  struct stat st {};
  if (::stat(source.c_str(), &st) != 0) return stack;
  if (S_ISBLK(st.st_mode)) AddDevice(SysfsFolder(st.st_rdev), Backing::kFileOnly, 0, stack);
  if (S_ISREG(st.st_mode)) stack.files.insert({st.st_dev, st.st_ino});
  return stack;
}

bool PlaceTouchesSource(const std::string& path, const std::string& source) {
  return PlaceTouchesSources(path, {source});
}

bool PlaceTouchesSources(const std::string& path, const std::vector<std::string>& sources,
                         std::string* which) {
  StorageStack place = StackUnderPath(path);
  for (const std::string& source : sources) {
    if (!Touches(place, StackOfSource(source))) continue;
    if (which) *which = source;
    return true;
  }
  return false;
}

std::vector<MountEntry> MountsUsingSource(const std::string& source) {
  std::vector<MountEntry> using_;
  StorageStack wanted = StackOfSource(source);
  uint64_t sourceDevice = 0;
  bool isDevice = BlockNodeNumber(source, sourceDevice);
  std::set<std::string> seen;
  for (const MountEntry& mount : ReadMounts()) {
    fs::path folder = DeviceFolderOfMount(mount);
    if (folder.empty()) continue;
    StorageStack under;
    AddDevice(folder, Backing::kFollowToDisks, 0, under);
    // A device is in use by what is stacked on it; an image file by the
    // loop devices it backs.
    bool reads =
        isDevice ? under.devices.count(sourceDevice) != 0 : Share(under.files, wanted.files);
    // Bind mounts list one file system more than once.
    if (reads && seen.insert(folder.string()).second) using_.push_back(mount);
  }
  return using_;
}

std::vector<MountEntry> FlushMountsUsingSource(const std::string& source) {
  std::vector<MountEntry> mounts = MountsUsingSource(source);
  for (const MountEntry& mount : mounts) SyncFileSystem(mount.mountPoint);
  return mounts;
}

}  // namespace salvora
