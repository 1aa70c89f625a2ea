#include "platform/DiskPartitions.h"

#include <filesystem>

namespace salvora {
namespace fs = std::filesystem;
namespace {

uint64_t ReadNumber(const fs::path& path) {
  std::string text = ReadSysfsText(path.string());
  return text.empty() ? 0 : std::strtoull(text.c_str(), nullptr, 10);
}

// sysfs counts sizes and starts in 512-byte units whatever the sector size.
constexpr uint64_t kSysfsUnit = 512;

}  // namespace

std::vector<PartitionNode> ListPartitions(const WholeDisk& disk) {
  std::vector<PartitionNode> partitions;
  std::error_code ec;
  fs::path folder = "/sys/block/" + disk.name;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (!fs::exists(entry.path() / "partition", ec)) continue;
    PartitionNode node;
    node.name = entry.path().filename().string();
    node.devicePath = "/dev/" + node.name;
    node.partitionNumber = static_cast<int>(ReadNumber(entry.path() / "partition"));
    node.startBytes = ReadNumber(entry.path() / "start") * kSysfsUnit;
    node.lengthBytes = ReadNumber(entry.path() / "size") * kSysfsUnit;
    std::string dev = ReadSysfsText((entry.path() / "dev").string());
    if (std::sscanf(dev.c_str(), "%u:%u", &node.major, &node.minor) != 2) continue;
    partitions.push_back(node);
  }
  return partitions;
}

uint64_t DiskSizeBytes(const WholeDisk& disk) {
  return ReadNumber("/sys/block/" + disk.name + "/size") * kSysfsUnit;
}

uint32_t DiskLogicalSectorSize(const WholeDisk& disk) {
  uint64_t size = ReadNumber("/sys/block/" + disk.name + "/queue/logical_block_size");
  return size >= 512 && size <= 65536 ? static_cast<uint32_t>(size) : 512;
}

bool IsRemovableDiskName(const std::string& diskName) {
  fs::path folder = "/sys/block/" + diskName;
  if (ReadSysfsText((folder / "removable").string()) == "1") return true;
  if (diskName.rfind("mmcblk", 0) == 0) return true;
  std::error_code ec;
  std::string devicePath = fs::canonical(folder, ec).string();
  return !ec && (devicePath.find("/usb") != std::string::npos ||
                 devicePath.find("/mmc_host/") != std::string::npos);
}

}  // namespace salvora
