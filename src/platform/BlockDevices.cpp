#include "platform/BlockDevices.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/DiskNumbering.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

bool IsDiskName(const std::string& name) {
  if (StartsWith(name, "loop")) {
    std::error_code ec;
    return fs::exists("/sys/block/" + name + "/loop/backing_file", ec);
  }
  if (StartsWith(name, "nvme")) return name.find('n', 4) != std::string::npos;
  return StartsWith(name, "sd") || StartsWith(name, "mmcblk") || StartsWith(name, "vd") ||
         StartsWith(name, "xvd") || StartsWith(name, "hd");
}

bool ParseDevNumbers(const std::string& text, uint32_t& major, uint32_t& minor) {
  return std::sscanf(text.c_str(), "%u:%u", &major, &minor) == 2;
}

uint64_t ReadSysfsNumber(const std::string& path) {
  std::string text = ReadSysfsText(path);
  return text.empty() ? 0 : std::strtoull(text.c_str(), nullptr, 10);
}

// The sysfs folder of a device node, through its device number.
bool SysfsFolderOfNode(const std::string& nodePath, fs::path& folder) {
  struct stat st {};
  if (::stat(nodePath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  std::error_code ec;
  fs::path link = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                  std::to_string(minor(st.st_rdev));
  folder = fs::canonical(link, ec);
  return !ec;
}

}  // namespace

std::string ReadSysfsText(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

std::vector<WholeDisk> ListWholeDisks() {
  // Never destroyed: a disk reading the window left to end alone may still
  // be numbering disks while the program's statics are torn down at exit.
  static DiskNumbering& numbering = *new DiskNumbering;
  std::vector<WholeDisk> disks;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/block", ec)) {
    std::string name = entry.path().filename().string();
    if (!IsDiskName(name)) continue;
    WholeDisk disk;
    if (!ParseDevNumbers(ReadSysfsText(entry.path().string() + "/dev"), disk.major, disk.minor))
      continue;
    disk.name = name;
    disk.devicePath = "/dev/" + name;
    disk.sequence = ReadSysfsNumber(entry.path().string() + "/diskseq");
    disks.push_back(disk);
  }
  std::sort(disks.begin(), disks.end(), [](const WholeDisk& a, const WholeDisk& b) {
    return a.major != b.major ? a.major < b.major : a.minor < b.minor;
  });
  numbering.Assign(disks);
  return disks;
}

bool DiskDevicePath(uint32_t diskNumber, std::string& path) {
  for (const WholeDisk& disk : ListWholeDisks()) {
    if (disk.number != diskNumber) continue;
    path = disk.devicePath;
    return true;
  }
  return false;
}

bool DiskNumberOfNode(const std::string& nodePath, uint32_t& diskNumber) {
  fs::path folder;
  if (!SysfsFolderOfNode(nodePath, folder)) return false;
  for (const auto& disk : ListWholeDisks()) {
    if (disk.name == folder.filename().string()) {
      diskNumber = disk.number;
      return true;
    }
  }
  return false;
}

bool LocatePartition(const std::string& nodePath, PartitionLocation& out) {
  fs::path folder;
  if (!SysfsFolderOfNode(nodePath, folder)) return false;
  std::error_code ec;
  if (!fs::exists(folder / "partition", ec)) return false;
  std::string diskName = folder.parent_path().filename().string();
  for (const auto& disk : ListWholeDisks()) {
    if (disk.name != diskName) continue;
    uint64_t logical = ReadSysfsNumber("/sys/block/" + diskName + "/queue/logical_block_size");
    if (logical < 512) logical = 512;
    // sysfs counts partitions in 512-byte units whatever the sector size.
    out.diskNumber = disk.number;
    out.diskPath = disk.devicePath;
    out.partitionNumber = static_cast<int>(ReadSysfsNumber((folder / "partition").string()));
    out.firstSector = ReadSysfsNumber((folder / "start").string()) * 512 / logical;
    out.sectorCount = ReadSysfsNumber((folder / "size").string()) * 512 / logical;
    return true;
  }
  return false;
}

}  // namespace salvora
