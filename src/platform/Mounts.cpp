#include "platform/Mounts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

// mountinfo writes blanks, tabs, newlines and backslashes as \ooo.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    bool octal = text[i] == '\\' && i + 3 < text.size();
    if (octal && text[i + 1] >= '0' && text[i + 1] <= '3' && text[i + 2] >= '0' &&
        text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
      out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                               (text[i + 3] - '0'));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool DeviceNumberOfNode(const std::string& node, uint32_t& major, uint32_t& minor) {
  struct stat st {};
  if (node.empty() || node[0] != '/' || ::stat(node.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
    return false;
  major = ::major(st.st_rdev);
  minor = ::minor(st.st_rdev);
  return true;
}

std::string NearestExistingPath(const std::string& path) {
  std::error_code ec;
  fs::path probe = fs::absolute(path, ec);
  while (!probe.empty() && !fs::exists(probe, ec) && probe != probe.parent_path())
    probe = probe.parent_path();
  return probe.string();
}

}  // namespace

bool ParseMountInfoLine(const std::string& line, MountEntry& out) {
  // id parent major:minor root mountpoint options [optional...] - type source superoptions
  std::istringstream in(line);
  std::string id, parent, numbers, root, mountPoint, field;
  if (!(in >> id >> parent >> numbers >> root >> mountPoint)) return false;
  while (in >> field && field != "-") {
  }
  std::string type, source;
  if (field != "-" || !(in >> type >> source)) return false;
  MountEntry entry;
  if (std::sscanf(numbers.c_str(), "%u:%u", &entry.major, &entry.minor) != 2) return false;
  entry.mountPoint = Unescape(mountPoint);
  entry.fileSystemType = type;
  entry.source = Unescape(source);
  out = entry;
  return true;
}

std::vector<MountEntry> ReadMounts() {
  std::vector<MountEntry> mounts;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  MountEntry entry;
  while (std::getline(in, line))
    if (ParseMountInfoLine(line, entry)) mounts.push_back(entry);
  return mounts;
}

bool FindMountOfDevice(uint32_t major, uint32_t minor, MountEntry& out) {
  for (const MountEntry& mount : ReadMounts()) {
    uint32_t sourceMajor = 0, sourceMinor = 0;
    bool sameNumber = mount.major == major && mount.minor == minor;
    bool sameSource = DeviceNumberOfNode(mount.source, sourceMajor, sourceMinor) &&
                      sourceMajor == major && sourceMinor == minor;
    if (sameNumber || sameSource) {
      out = mount;
      return true;
    }
  }
  return false;
}

bool FindMountOfPath(const std::string& path, MountEntry& out) {
  struct stat st {};
  if (::stat(NearestExistingPath(path).c_str(), &st) != 0) return false;
  // Bind mounts list the same device more than once; the last one mounted
  // is the one that shadows the others.
  bool found = false;
  for (const MountEntry& mount : ReadMounts()) {
    if (mount.major == ::major(st.st_dev) && mount.minor == ::minor(st.st_dev)) {
      out = mount;
      found = true;
    }
  }
  return found;
}

bool BackingDeviceOfPath(const std::string& path, uint32_t& major, uint32_t& minor) {
  struct stat st {};
  if (::stat(NearestExistingPath(path).c_str(), &st) != 0) return false;
  std::error_code ec;
  std::string sysfs = "/sys/dev/block/" + std::to_string(::major(st.st_dev)) + ":" +
                      std::to_string(::minor(st.st_dev));
  if (fs::exists(sysfs, ec)) {
    major = ::major(st.st_dev);
    minor = ::minor(st.st_dev);
    return true;
  }
  // FUSE file systems (ntfs-3g) get an anonymous device number; the block
  // device they read is the source named in the mount table.
  MountEntry mount;
  return FindMountOfPath(path, mount) && DeviceNumberOfNode(mount.source, major, minor);
}

int SyncFileSystem(const std::string& mountPoint) {
  int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return ErrnoToCode(errno);
  int result = ::syncfs(fd) == 0 ? kOk : ErrnoToCode(errno);
  ::close(fd);
  return result;
}

int FileSystemSpace(const std::string& path, uint64_t& totalBytes, uint64_t& freeBytes) {
  struct statvfs info {};
  if (::statvfs(NearestExistingPath(path).c_str(), &info) != 0) return ErrnoToCode(errno);
  totalBytes = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
  freeBytes = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  return kOk;
}

}  // namespace salvora
