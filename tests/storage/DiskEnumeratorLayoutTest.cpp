// The arrangement of volumes into the disk list, without devices.
#include <gtest/gtest.h>

#include "platform/Mounts.h"
#include "storage/DiskLayout.h"
#include "storage/FormatSize.h"

namespace salvora {
namespace {

constexpr int64_t kSector = 512;
constexpr uint64_t kCylinder = 255 * 63;

PartitionRecord Volume(int64_t startSector, int64_t lengthSectors,
                       const char* fileSystem = "NTFS") {
  PartitionRecord record;
  record.kind = EntryKind::kVolume;
  record.start = startSector * kSector;
  record.length = lengthSectors * kSector;
  record.fileSystemName = fileSystem;
  return record;
}

DiskGeometry Classic(uint64_t cylinders) {
  DiskGeometry geometry;
  geometry.totalSectors = cylinders * kCylinder;
  return geometry;
}

DiskShape Shape(uint32_t number, std::optional<DiskGeometry> geometry) {
  DiskShape shape;
  shape.diskNumber = number;
  shape.devicePath = "/dev/disk" + std::to_string(number);
  shape.geometry = geometry;
  return shape;
}

TEST(DiskLayout, AlignedVolumeGetsOnlyItsTail) {
  DiskGeometry geometry = Classic(1000);
  int64_t length = static_cast<int64_t>(geometry.totalSectors) - 2048 - 20480;
  std::vector<PartitionRecord> list = {Volume(2048, length)};
  LayoutCarry carry;
  PlaceUnallocated(list, 0, "/dev/sda", geometry, carry);
  ASSERT_EQ(list.size(), 2u);  // the 1985 sectors before the volume are not worth an entry
  EXPECT_EQ(list[0].start, 2048);
  EXPECT_EQ(list[0].length, length);
  const PartitionRecord& tail = list[1];
  EXPECT_EQ(tail.kind, EntryKind::kUnallocated);
  EXPECT_EQ(tail.start, 2048 + length);
  EXPECT_EQ(tail.length, 20480);
  EXPECT_EQ(tail.partitionNumber, 0);
  EXPECT_EQ(tail.partitionType, 0);
  EXPECT_EQ(tail.totalBytes, 20480u * 512);
  EXPECT_EQ(tail.freeBytes, tail.totalBytes);
  EXPECT_EQ(tail.usedBytes, 0u);
  EXPECT_EQ(tail.devicePath, "/dev/sda");
}

TEST(DiskLayout, GapMustExceedOneCylinder) {
  const int64_t cylinder = static_cast<int64_t>(kCylinder);
  // First volume ends at 63 + 1000; the next starts exactly one cylinder
  // later (no entry), the third one cylinder and one sector later (entry).
  std::vector<PartitionRecord> list = {Volume(63, 1000), Volume(1063 + cylinder, 100),
                                       Volume(1163 + 2 * cylinder + 1, 100)};
  DiskGeometry geometry = Classic(4);
  geometry.totalSectors = 1264 + 2 * kCylinder + 100;
  LayoutCarry carry;
  PlaceUnallocated(list, 0, "/dev/sda", geometry, carry);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[3].kind, EntryKind::kUnallocated);
  EXPECT_EQ(list[3].start, 1163 + cylinder);
  EXPECT_EQ(list[3].length, cylinder + 1);
}

TEST(DiskLayout, TailReachesTheRealEndOfTheDisk) {
  // 100 sectors past the last whole cylinder belong to the tail as well.
  DiskGeometry geometry = Classic(10);
  geometry.totalSectors += 100;
  std::vector<PartitionRecord> list = {Volume(63, 1000)};
  LayoutCarry carry;
  PlaceUnallocated(list, 0, "/dev/sda", geometry, carry);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].start + list[1].length, static_cast<int64_t>(geometry.totalSectors));
}

TEST(DiskLayout, NestedVolumeDoesNotReopenUsedSpace) {
  const int64_t cylinder = static_cast<int64_t>(kCylinder);
  std::vector<PartitionRecord> list = {Volume(63, 10 * cylinder), Volume(1000, 100),
                                       Volume(63 + 10 * cylinder, 100)};
  DiskGeometry geometry = Classic(11);
  LayoutCarry carry;
  PlaceUnallocated(list, 0, "/dev/sda", geometry, carry);
  for (const PartitionRecord& record : list)
    EXPECT_NE(record.kind, EntryKind::kUnallocated) << record.start;
}

TEST(DiskLayout, UnmeasuredDiskInheritsAndHasNoTail) {
  DiskGeometry fourK;
  fourK.bytesPerSector = 4096;
  fourK.sectorsPerTrack = 32;
  fourK.tracksPerCylinder = 64;
  fourK.totalSectors = 100000;
  DiskMap disks;
  disks[0].push_back(Volume(0, 8 * 4096));  // 4096 sectors of 4 KiB
  // Gap of 2100 sectors of 4 KiB: above 32 x 64 = 2048 inherited.
  disks[1].push_back(Volume(100 * 8, 8));
  disks[1].push_back(Volume((100 + 1 + 2100) * 8, 8));
  ArrangeDisks(disks, {Shape(0, fourK), Shape(1, std::nullopt)});
  ASSERT_EQ(disks[1].size(), 3u);
  EXPECT_EQ(disks[1][0].start, 100);
  EXPECT_EQ(disks[1][1].kind, EntryKind::kUnallocated);
  EXPECT_EQ(disks[1][1].start, 101);
  EXPECT_EQ(disks[1][1].length, 2100);
  EXPECT_EQ(disks[1][1].totalBytes, 2100u * 4096);
}

TEST(DiskLayout, NumbersRunAcrossDisksInListOrder) {
  DiskMap disks;
  // Listed out of order: the sort puts them by start, stable for equal starts.
  disks[0] = {Volume(200000, 1000, "B"), Volume(63, 1000, "A")};
  disks[2] = {Volume(2048, 1000, "C")};
  std::vector<DiskShape> shapes = {Shape(0, Classic(100)), Shape(1, Classic(50)),
                                   Shape(2, Classic(1)), Shape(3, std::nullopt)};
  ArrangeDisks(disks, shapes);
  ASSERT_EQ(disks.size(), 3u);  // disk 3 cannot be measured and is left out
  std::vector<std::string> order;
  uint32_t expected = 1;
  for (const auto& [number, list] : disks) {
    for (const PartitionRecord& record : list) {
      EXPECT_EQ(record.ordinal, expected++);
      order.push_back(record.kind == EntryKind::kVolume      ? record.fileSystemName
                      : record.kind == EntryKind::kWholeDisk ? "whole"
                                                             : "free");
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{"A", "free", "B", "free", "whole", "C"}));
  const PartitionRecord& whole = disks[1][0];
  EXPECT_EQ(whole.start, 0);
  EXPECT_EQ(whole.length, static_cast<int64_t>(50 * kCylinder));
  EXPECT_EQ(whole.totalBytes, 50 * kCylinder * 512);
  EXPECT_EQ(whole.diskPath, "/dev/disk1");
}

TEST(DiskLayout, SizesReadAsTheDiskListShowsThem) {
  EXPECT_EQ(FormatSize(1023), "1023 Bytes");
  EXPECT_EQ(FormatSize(1024), "1.00 KB");
  EXPECT_EQ(FormatSize(1LL << 40), "1.00 TB");
  EXPECT_EQ(FormatSize(-5), "-5 Bytes");
}

TEST(MountTable, LinesDecodeWithOptionalFieldsAndEscapes) {
  MountEntry entry;
  ASSERT_TRUE(ParseMountInfoLine(
      "36 35 8:17 / /media/my\\040disk rw,noatime shared:1 master:2 - vfat /dev/sdb1 rw", entry));
  EXPECT_EQ(entry.major, 8u);
  EXPECT_EQ(entry.minor, 17u);
  EXPECT_EQ(entry.mountPoint, "/media/my disk");
  EXPECT_EQ(entry.fileSystemType, "vfat");
  EXPECT_EQ(entry.source, "/dev/sdb1");
  ASSERT_TRUE(ParseMountInfoLine("40 1 0:52 / /mnt/n rw - fuseblk /dev/loop3p2 rw", entry));
  EXPECT_EQ(entry.fileSystemType, "fuseblk");
  EXPECT_FALSE(ParseMountInfoLine("40 1 0:52 / /mnt/n rw fuseblk /dev/loop3p2", entry));
  EXPECT_FALSE(ParseMountInfoLine("garbage", entry));
  ASSERT_TRUE(ParseMountInfoLine("1 1 0:1 / /x\\ rw - t s", entry));
  EXPECT_EQ(entry.mountPoint, "/x\\");
}

}  // namespace
}  // namespace salvora
