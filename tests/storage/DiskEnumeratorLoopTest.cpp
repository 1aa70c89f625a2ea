// The disk list on real block devices: loop devices with a partition table
// made by sfdisk and file systems made by mkfs.fat and mkntfs.
#include <gtest/gtest.h>

#include <memory>

#include "storage/DiskEnumerator.h"
#include "storage/DiskOrdinal.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::LoopDevice;
using test::MustRun;
using test::Quote;

// 200 MiB: FAT32 at 2048 (40 MiB), a 20 MiB gap, NTFS (60 MiB), 79 MiB free.
constexpr int64_t kFatStart = 2048, kFatLength = 81920;
constexpr int64_t kNtfsStart = 124928, kNtfsLength = 122880;
constexpr int64_t kDiskSectors = 409600;

class DiskEnumeratorLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanUseLoopDevices()) GTEST_SKIP() << "needs root and /dev/loop-control";
    std::string image = dir_ / "disk.img", empty = dir_ / "empty.img";
    MustRun("truncate -s 200M " + Quote(image) + " && truncate -s 30M " + Quote(empty));
    MustRun(
        "printf 'label: dos\\nstart=2048, size=81920, type=c\\n"
        "start=124928, size=122880, type=7\\n' | sfdisk -q " +
        Quote(image));
    disk_ = std::make_unique<LoopDevice>(image);
    empty_ = std::make_unique<LoopDevice>(empty);
    ASSERT_TRUE(disk_->ok() && empty_->ok()) << "losetup failed";
    MustRun("mkfs.fat -F 32 -s 1 -n SALVFAT " + Quote(disk_->partition(1)) + " >/dev/null");
    MustRun("mkntfs -q -F -f -L SalvNtfs " + Quote(disk_->partition(2)) + " >/dev/null");
  }

  // The entries that lie on one device node, in list order.
 public:
  static std::vector<PartitionRecord> EntriesOf(const std::vector<PartitionRecord>& all,
                                                const std::string& diskPath) {
    std::vector<PartitionRecord> entries;
    for (const PartitionRecord& record : all)
      if (record.diskPath == diskPath) entries.push_back(record);
    return entries;
  }

 protected:
  test::TempDir dir_;
  std::unique_ptr<LoopDevice> disk_, empty_;
};

TEST_F(DiskEnumeratorLoop, ListsVolumesGapsTailAndEmptyDisk) {
  DiskEnumerator enumerator;
  ASSERT_EQ(enumerator.Refresh(), 1);
  std::vector<PartitionRecord> all;
  enumerator.CollectAll(all);
  std::vector<PartitionRecord> entries = EntriesOf(all, disk_->device());
  ASSERT_EQ(entries.size(), 4u);

  const PartitionRecord& fat = entries[0];
  EXPECT_EQ(fat.kind, EntryKind::kVolume);
  EXPECT_EQ(fat.devicePath, disk_->partition(1));
  EXPECT_EQ(fat.partitionNumber, 1);
  EXPECT_EQ(fat.start, kFatStart);
  EXPECT_EQ(fat.length, kFatLength);
  EXPECT_EQ(fat.fileSystemName, "FAT32");
  EXPECT_EQ(fat.label, "SALVFAT");
  EXPECT_EQ(fat.partitionType, kTypeFat32);
  // Not mounted: counted as full.
  EXPECT_EQ(fat.totalBytes, static_cast<uint64_t>(kFatLength) * 512);
  EXPECT_EQ(fat.freeBytes, 0u);

  const PartitionRecord& gap = entries[1];
  EXPECT_EQ(gap.kind, EntryKind::kUnallocated);
  EXPECT_EQ(gap.start, kFatStart + kFatLength);
  EXPECT_EQ(gap.length, kNtfsStart - kFatStart - kFatLength);
  EXPECT_EQ(gap.fileSystemName, "");

  const PartitionRecord& ntfs = entries[2];
  EXPECT_EQ(ntfs.devicePath, disk_->partition(2));
  EXPECT_EQ(ntfs.start, kNtfsStart);
  EXPECT_EQ(ntfs.length, kNtfsLength);
  EXPECT_EQ(ntfs.fileSystemName, "NTFS");
  EXPECT_EQ(ntfs.label, "SalvNtfs");
  EXPECT_EQ(ntfs.partitionType, kTypeNtfs);

  const PartitionRecord& tail = entries[3];
  EXPECT_EQ(tail.kind, EntryKind::kUnallocated);
  EXPECT_EQ(tail.start, kNtfsStart + kNtfsLength);
  EXPECT_EQ(tail.length, kDiskSectors - kNtfsStart - kNtfsLength);

  for (size_t i = 1; i < entries.size(); ++i)
    EXPECT_EQ(entries[i].ordinal, entries[i - 1].ordinal + 1);

  std::vector<PartitionRecord> empty = EntriesOf(all, empty_->device());
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].kind, EntryKind::kWholeDisk);
  EXPECT_EQ(empty[0].start, 0);
  EXPECT_EQ(empty[0].length, 30 * 2048);
  EXPECT_EQ(empty[0].totalBytes, 30u << 20);
  EXPECT_EQ(empty[0].usedBytes, 0u);

  // NextRecord hands out the same list, then stops.
  PartitionRecord next;
  size_t count = 0;
  while (enumerator.NextRecord(next)) ++count;
  EXPECT_EQ(count, all.size());
  EXPECT_FALSE(enumerator.NextRecord(next));
}

// Other test programs may attach loop devices at the same time, which moves
// the numbers; a lookup is only judged when the list held still around it.
bool ResolveEntry(const std::string& diskPath, size_t index, PartitionRecord& entry,
                  OrdinalPlace& place) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    DiskEnumerator enumerator;
    std::vector<PartitionRecord> before, after;
    enumerator.Refresh();
    enumerator.CollectAll(before);
    std::vector<PartitionRecord> entries = DiskEnumeratorLoop::EntriesOf(before, diskPath);
    if (index >= entries.size()) return false;
    entry = entries[index];
    bool found = ResolveOrdinal(entry.ordinal, place);
    enumerator.Refresh();
    enumerator.CollectAll(after);
    if (after.size() == before.size() &&
        DiskEnumeratorLoop::EntriesOf(after, diskPath).size() == entries.size() &&
        DiskEnumeratorLoop::EntriesOf(after, diskPath)[index].ordinal == entry.ordinal)
      return found;
  }
  return false;
}

TEST_F(DiskEnumeratorLoop, OrdinalNamesTheRegionItCovers) {
  PartitionRecord entry;
  OrdinalPlace place;
  ASSERT_TRUE(ResolveEntry(disk_->device(), 1, entry, place));
  EXPECT_EQ(place.devicePath, disk_->device());
  EXPECT_EQ(place.firstSector, static_cast<uint64_t>(kFatStart + kFatLength));
  EXPECT_EQ(place.sectorCount, static_cast<uint64_t>(kNtfsStart - kFatStart - kFatLength));
  ASSERT_TRUE(ResolveEntry(disk_->device(), 2, entry, place));
  EXPECT_EQ(place.devicePath, disk_->partition(2));
  EXPECT_EQ(place.firstSector, static_cast<uint64_t>(kNtfsStart));
  EXPECT_FALSE(ResolveOrdinal(100000, place));
}

TEST_F(DiskEnumeratorLoop, DetachedDiskIsReportedVanished) {
  DiskEnumerator enumerator;
  ASSERT_EQ(enumerator.Refresh(), 1);
  std::vector<PartitionRecord> before;
  enumerator.CollectAll(before);
  std::string emptyNode = empty_->device();
  empty_.reset();
  std::vector<PartitionRecord> vanished, after;
  enumerator.FindVanished(before, vanished);
  enumerator.CollectAll(after);
  EXPECT_EQ(EntriesOf(vanished, emptyNode).size(), 1u);
  EXPECT_TRUE(EntriesOf(after, emptyNode).empty());
  std::vector<PartitionRecord> stayed = EntriesOf(after, disk_->device());
  ASSERT_EQ(stayed.size(), 4u);
  // A disk that kept its number is still there; one whose number moved up
  // is reported so that the list is rebuilt with the new number.
  bool sameNumber = stayed[0].diskNumber == EntriesOf(before, disk_->device())[0].diskNumber;
  EXPECT_EQ(EntriesOf(vanished, disk_->device()).empty(), sameNumber);
}

TEST_F(DiskEnumeratorLoop, DisksCommandShowsHeadersRowsAndJson) {
  std::string text, json;
  std::string binary = Quote(test::SalvoraBinary());
  ASSERT_EQ(test::Run(binary + " disks", &text), 0) << text;
  EXPECT_NE(text.find("Fixed disk"), std::string::npos) << text;
  size_t row = text.find(disk_->partition(1) + " ");
  ASSERT_NE(row, std::string::npos) << text;
  std::string line = text.substr(row, text.find('\n', row) - row);
  EXPECT_NE(line.find("SALVFAT"), std::string::npos) << line;
  EXPECT_NE(line.find("FAT32"), std::string::npos) << line;
  EXPECT_NE(line.find("40.00 MB"), std::string::npos) << line;
  EXPECT_NE(line.find("100%"), std::string::npos) << line;
  ASSERT_EQ(test::Run(binary + " disks --json", &json), 0) << json;
  EXPECT_NE(json.find("\"device\":\"" + disk_->partition(2) + "\""), std::string::npos);
  EXPECT_NE(json.find("\"label\":\"SalvNtfs\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"kind\":\"unallocated\""), std::string::npos);
}

}  // namespace
}  // namespace salvora
