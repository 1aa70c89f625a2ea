// A partitioned disk: a FAT32 and an NTFS partition, both formatted again
// over their old files, and pictures in the unpartitioned gap between them.
// Each part is deep-scanned through its own partition or region of the disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "deep/CompositeFixture.h"
#include "platform/BlockDevices.h"
#include "platform/ErrorCodes.h"
#include "storage/EngineSelection.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

constexpr uint64_t kFatStart = 2048, kPartSectors = 64 * 2048;
constexpr uint64_t kGapStart = kFatStart + kPartSectors, kGapSectors = 8 * 2048;
constexpr uint64_t kNtfsStart = kGapStart + kGapSectors;

std::unique_ptr<CProfessionalRecovery> OpenDeepRegion(uint32_t disk, uint64_t first,
                                                      uint64_t count) {
  SelectionResult selection = CreateDiskEngine(disk, first, count, 4, true);
  auto* deep = dynamic_cast<CProfessionalRecovery*>(selection.engine.get());
  if (!deep) return nullptr;
  selection.engine.release();
  return std::unique_ptr<CProfessionalRecovery>(deep);
}

class CompositePartitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanUseLoopDevices() || !std::filesystem::exists("/dev/fuse") || !HaveCommand("sfdisk") ||
        !HaveCommand("mkntfs") || !HaveCommand("mcopy") || !HaveCommand("convert"))
      GTEST_SKIP() << "needs root with loop devices and FUSE, sfdisk, ntfs-3g, mtools, ImageMagick";
    std::string fat = work_ / "fat.img", ntfs = work_ / "ntfs.img";
    MustRun("mkdir -p " + Quote(work_ / "tree/old/keep") + " && cd " + Quote(work_ / "tree") +
            " && head -c 30000 /dev/zero | tr '\\0' 'f' > old/keep/fat.txt"
            " && head -c 50000 /dev/zero | tr '\\0' 'n' > ntfs.txt"
            " && convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform gap.png");
    MustRun("truncate -s 64M " + Quote(fat) + " && mkfs.fat -F 32 " + Quote(fat) +
            " >/dev/null && cd " + Quote(work_ / "tree") + " && mcopy -s -i " + Quote(fat) +
            " old ::/ && mkfs.fat -F 32 " + Quote(fat) + " >/dev/null");
    MustRun("truncate -s 64M " + Quote(ntfs) + " && mkntfs -Q -F -q " + Quote(ntfs) +
            " >/dev/null 2>&1 && mkdir -p " + Quote(work_ / "mnt") + " && ntfs-3g " + Quote(ntfs) +
            " " + Quote(work_ / "mnt"));
    MustRun("mkdir -p " + Quote(work_ / "mnt/old") + " && cp " + Quote(work_ / "tree/ntfs.txt") +
            " " + Quote(work_ / "mnt/old/ntfs.txt") + " && umount " + Quote(work_ / "mnt") +
            " && mkntfs -Q -F -q " + Quote(ntfs) + " >/dev/null 2>&1");
    disk_ = work_ / "disk.img";
    MustRun("truncate -s " + std::to_string((kNtfsStart + kPartSectors + 2048) * 512) + " " +
            Quote(disk_) + " && printf 'start=" + std::to_string(kFatStart) + ", size=" +
            std::to_string(kPartSectors) + ", type=c\\nstart=" + std::to_string(kNtfsStart) +
            ", size=" + std::to_string(kPartSectors) + ", type=7\\n' | sfdisk -q " + Quote(disk_));
    MustRun("dd if=" + Quote(fat) + " of=" + Quote(disk_) + " bs=512 seek=" +
            std::to_string(kFatStart) + " conv=notrunc status=none && dd if=" + Quote(ntfs) +
            " of=" + Quote(disk_) + " bs=512 seek=" + std::to_string(kNtfsStart) +
            " conv=notrunc status=none && dd if=" + Quote(work_ / "tree/gap.png") +
            " of=" + Quote(disk_) + " bs=512 seek=" + std::to_string(kGapStart + 100) +
            " conv=notrunc status=none");
  }

  ScopedDataDir data_;
  TempDir work_;
  std::string disk_;
};

TEST_F(CompositePartitionTest, EachPartAndTheGapAreScannedThroughTheirOwnPlace) {
  LoopDevice loop(disk_);
  ASSERT_TRUE(loop.ok());
  PartitionLocation fat, ntfs;
  ASSERT_TRUE(LocatePartition(loop.partition(1), fat));
  ASSERT_TRUE(LocatePartition(loop.partition(2), ntfs));
  EXPECT_EQ(fat.firstSector, kFatStart);
  EXPECT_EQ(ntfs.firstSector, kNtfsStart);

  // Each partition gives back its own old file, byte for byte, and nothing
  // of the other one.
  struct Part {
    const PartitionLocation& place;
    const char* found;
    const char* original;
    const char* other;
  } parts[] = {{fat, "keep/fat.txt", "tree/old/keep/fat.txt", "ntfs.txt"},
               {ntfs, "old/ntfs.txt", "tree/ntfs.txt", "fat.txt"}};
  for (const Part& part : parts) {
    auto scan =
        OpenDeepRegion(part.place.diskNumber, part.place.firstSector, part.place.sectorCount);
    ASSERT_NE(scan, nullptr);
    ASSERT_EQ(RunDeepScan(*scan), kOk);
    auto files = ListFiles(*scan);
    const FoundFile* file = FindBySuffix(files, part.found);
    ASSERT_NE(file, nullptr) << part.found;
    EXPECT_EQ(uint64_t{file->record.volumeFirstSector}, part.place.firstSector);
    EXPECT_EQ(RecoveredSha256(*scan, *file, work_.path()), FileSha256(work_ / part.original));
    EXPECT_EQ(FindBySuffix(files, part.other), nullptr);
  }

  auto gapScan = OpenDeepRegion(fat.diskNumber, kGapStart, kGapSectors);
  ASSERT_NE(gapScan, nullptr);
  ASSERT_EQ(RunDeepScan(*gapScan), kOk);
  auto gapFiles = ListFiles(*gapScan);
  ASSERT_EQ(gapFiles.size(), 1u);
  EXPECT_EQ(gapFiles[0].sector, kGapStart + 100);
  EXPECT_EQ(RecoveredSha256(*gapScan, gapFiles[0], work_.path()),
            FileSha256(work_ / "tree/gap.png"));
}

}  // namespace
}  // namespace salvora::test
