#include "storage/DiskEnumerator.h"

#include <sys/sysmacros.h>

#include <filesystem>

#include "platform/BlockDevices.h"
#include "platform/DiskPartitions.h"
#include "platform/Mounts.h"
#include "platform/VolumeProbe.h"

namespace salvora {
namespace {

uint8_t TypeOfFileSystem(const std::string& name, uint8_t tableType) {
  if (name == "NTFS") return kTypeNtfs;
  if (name == "FAT32") return kTypeFat32;
  if (name == "FAT") return kTypeFat;
  return tableType;
}

// Free space comes from the mounted file system; a volume that is not
// mounted counts as full, since nothing tells how much of it is in use.
void FillSpace(PartitionRecord& record, uint64_t lengthBytes, uint32_t major, uint32_t minor) {
  record.totalBytes = lengthBytes;
  record.freeBytes = 0;
  MountEntry mount;
  if (FindMountOfDevice(major, minor, mount)) {
    record.mountPoint = mount.mountPoint;
    uint64_t total = 0, free = 0;
    if (FileSystemSpace(mount.mountPoint, total, free) == 0 && total != 0) {
      record.totalBytes = total;
      record.freeBytes = std::min(free, total);
    }
  }
  record.usedBytes = record.totalBytes - record.freeBytes;
}

// A volume as probed: positions still in bytes. False for the container of
// logical partitions, which holds no file system of its own.
bool DescribeVolume(const WholeDisk& disk, const PartitionNode& node, PartitionRecord& record) {
  VolumeFacts facts;
  ProbeVolume(node.devicePath, facts);
  if (facts.extendedContainer) return false;
  record = PartitionRecord();
  record.kind = EntryKind::kVolume;
  record.diskNumber = static_cast<int32_t>(disk.number);
  record.partitionNumber = node.partitionNumber;
  record.start = static_cast<int64_t>(node.startBytes);
  record.length = static_cast<int64_t>(node.lengthBytes);
  record.fileSystemName = facts.fileSystemName;
  record.label = facts.label;
  record.partitionType = TypeOfFileSystem(facts.fileSystemName, facts.partitionType);
  record.devicePath = node.devicePath;
  record.diskPath = disk.devicePath;
  FillSpace(record, node.lengthBytes, node.major, node.minor);
  return true;
}

// A disk formatted without a partition table still shows what it holds.
void DescribeWholeDisk(const WholeDisk& disk, PartitionRecord& record) {
  VolumeFacts facts;
  if (!ProbeVolume(disk.devicePath, facts) || facts.fileSystemName.empty()) return;
  record.fileSystemName = facts.fileSystemName;
  record.label = facts.label;
  record.partitionType = TypeOfFileSystem(facts.fileSystemName, 0);
  FillSpace(record, static_cast<uint64_t>(record.length) * record.bytesPerSector, disk.major,
            disk.minor);
}

}  // namespace

int DiskEnumerator::Refresh() {
  disks_.clear();
  cursorDisk_ = disks_.end();
  cursorIndex_ = 0;
  std::error_code ec;
  if (!std::filesystem::is_directory("/sys/block", ec)) return 0;
  std::vector<WholeDisk> wholeDisks = ListWholeDisks();
  std::vector<DiskShape> shapes;
  for (const WholeDisk& disk : wholeDisks) {
    DiskShape shape;
    shape.diskNumber = disk.number;
    shape.devicePath = disk.devicePath;
    DiskGeometry geometry;
    if (ReadDiskGeometry(disk, geometry)) shape.geometry = geometry;
    shapes.push_back(shape);
    for (const PartitionNode& node : ListPartitions(disk)) {
      PartitionRecord record;
      if (DescribeVolume(disk, node, record)) disks_[disk.number].push_back(record);
    }
  }
  ArrangeDisks(disks_, shapes);
  for (const WholeDisk& disk : wholeDisks) {
    auto found = disks_.find(disk.number);
    if (found != disks_.end() && found->second.size() == 1 &&
        found->second[0].kind == EntryKind::kWholeDisk)
      DescribeWholeDisk(disk, found->second[0]);
  }
  cursorDisk_ = disks_.begin();
  return 1;
}

bool DiskEnumerator::NextRecord(PartitionRecord& out) {
  while (cursorDisk_ != disks_.end()) {
    if (cursorIndex_ < cursorDisk_->second.size()) {
      out = cursorDisk_->second[cursorIndex_++];
      return true;
    }
    ++cursorDisk_;
    cursorIndex_ = 0;
  }
  return false;
}

int DiskEnumerator::CollectAll(std::vector<PartitionRecord>& out) const {
  out.clear();
  for (const auto& [diskNumber, list] : disks_) out.insert(out.end(), list.begin(), list.end());
  return 1;
}

void DiskEnumerator::FindVanished(const std::vector<PartitionRecord>& previous,
                                  std::vector<PartitionRecord>& vanished) {
  Refresh();
  for (const PartitionRecord& old : previous) {
    bool present = false;
    for (const auto& [diskNumber, list] : disks_) {
      for (const PartitionRecord& now : list) {
        // Disk numbers move up when an earlier disk leaves, so the disk's
        // node must match too.
        present = present || (now.diskNumber == old.diskNumber && now.start == old.start &&
                              now.diskPath == old.diskPath);
      }
    }
    if (!present) vanished.push_back(old);
  }
}

}  // namespace salvora
