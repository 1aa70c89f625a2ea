// Images of whole disks with an MBR or a GPT, as sfdisk makes them: listed
// as a disk with its partitions and unallocated stretches, scanned partition
// by partition, and addressed entry by entry as "disk.img@N".
#include <gtest/gtest.h>

#include <filesystem>

#include "storage/ImageDisks.h"
#include "storage/ImageEntries.h"
#include "support/PartitionedImage.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

// FAT32 at 2048, a gap of 10 MiB, NTFS, and a free tail of 29 MiB.
const test::PartitionPlan kFat{2048, 81920, "c"};
const test::PartitionPlan kNtfs{104448, 40960, "7"};
constexpr uint64_t kGapStart = 83968;
constexpr uint64_t kTailStart = 145408;
constexpr uint64_t kDiskSectors = 204800;

bool CanFillNtfs() {
  return test::IsRoot() && test::HaveCommand("ntfs-3g") && std::filesystem::exists("/dev/fuse");
}

class PartitionedImage : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    for (const char* tool : {"sfdisk", "mkfs.fat", "mcopy", "mkntfs", "convert"})
      if (!test::HaveCommand(tool))
        GTEST_SKIP() << "needs sfdisk, dosfstools, mtools, ntfs-3g "
                        "and ImageMagick";
    bool gpt = std::string(GetParam()) == "gpt";
    test::PartitionPlan fat = kFat, ntfs = kNtfs;
    if (gpt) fat.type = ntfs.type = test::kGptBasicData;
    test::MakePartitionedImage(image_, GetParam(), kDiskSectors, {fat, ntfs});
    test::WriteFile(dir_ / "fat.bin", test::PseudoRandomBytes(50000, 1));
    test::WriteFile(dir_ / "kept.txt", test::PseudoRandomBytes(7000, 2));
    test::FillFat32Partition(image_, fat, {dir_ / "fat.bin", dir_ / "kept.txt"}, {"fat.bin"});
    MakeNtfsPartition();
    // A picture lying in the gap that no partition covers.
    test::MustRun("convert -size 120x90 -seed 5 plasma: " + Quote(dir_ / "gap.png"));
    test::MustRun("dd if=" + Quote(dir_ / "gap.png") + " of=" + Quote(image_) +
                  " bs=512 seek=" + std::to_string(kGapStart + 100) + " conv=notrunc status=none");
  }

  // mkntfs writes the volume into a file of its own; ntfs-3g fills it with
  // a file that is then deleted, when this machine can mount it.
  void MakeNtfsPartition() {
    std::string volume = dir_ / "ntfs.img";
    test::MustRun("truncate -s " + std::to_string(kNtfs.sectors * 512) + " " + Quote(volume) +
                  " && mkntfs -q -F -Q -p " + std::to_string(kNtfs.start) + " " + Quote(volume) +
                  " >/dev/null 2>&1");
    if (CanFillNtfs()) {
      std::string mount = dir_ / "mnt";
      std::filesystem::create_directories(mount);
      test::MustRun("ntfs-3g " + Quote(volume) + " " + Quote(mount));
      test::WriteFile(mount + "/ntfs.bin", test::PseudoRandomBytes(30000, 3));
      ntfsHash_ = test::FileSha256(mount + "/ntfs.bin");
      test::MustRun("umount " + Quote(mount) + " && ntfs-3g " + Quote(volume) + " " + Quote(mount) +
                    " && rm " + Quote(mount + "/ntfs.bin") + " && umount " + Quote(mount));
    }
    test::MustRun("dd if=" + Quote(volume) + " of=" + Quote(image_) +
                  " bs=512 seek=" + std::to_string(kNtfs.start) + " conv=notrunc status=none");
  }

  int Salvora(const std::string& arguments, std::string& output) {
    output.clear();
    return test::Run("SALVORA_DATA_DIR=" + Quote(data_.path()) + " " +
                         Quote(test::SalvoraBinary()) + " " + arguments + " 2>&1",
                     &output);
  }

  test::TempDir dir_, data_, out_;
  std::string image_ = dir_ / "disk.img";
  std::string ntfsHash_;  // empty when the NTFS partition holds no file
};

TEST_P(PartitionedImage, EntriesArePartitionsAndUnallocatedStretches) {
  std::vector<PartitionRecord> entries;
  ASSERT_TRUE(ListImageEntries(image_, entries));
  ASSERT_EQ(entries.size(), 4u);
  const struct {
    EntryKind kind;
    int64_t start;
    const char* fileSystem;
  } expected[] = {{EntryKind::kVolume, 2048, "FAT32"},
                  {EntryKind::kUnallocated, kGapStart, ""},
                  {EntryKind::kVolume, 104448, "NTFS"},
                  {EntryKind::kUnallocated, kTailStart, ""}};
  for (size_t i = 0; i < entries.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(entries[i].ordinal, i + 1);
    EXPECT_EQ(entries[i].kind, expected[i].kind);
    EXPECT_EQ(entries[i].start, expected[i].start);
    EXPECT_EQ(entries[i].fileSystemName, expected[i].fileSystem);
    std::string opened;
    ASSERT_TRUE(ImageOfDiskNumber(static_cast<uint32_t>(entries[i].diskNumber), opened));
    EXPECT_EQ(opened, std::filesystem::canonical(image_).string());
  }
  EXPECT_EQ(entries[3].start + entries[3].length, static_cast<int64_t>(kDiskSectors));

  std::string output;
  ASSERT_EQ(Salvora("info " + Quote(image_), output), 0) << output;
  EXPECT_NE(output.find("disk with a partition table"), std::string::npos) << output;
  EXPECT_NE(output.find("sectors 145408 to 204799"), std::string::npos) << output;
}

TEST_P(PartitionedImage, QuickScanCoversEachPartitionAndRecordsCarryTheirEntry) {
  std::string output;
  ASSERT_EQ(Salvora("scan --quick --json " + Quote(image_), output), 0) << output;
  EXPECT_NE(output.find("\"size\":50000,\"entrySector\""), std::string::npos) << output;
  EXPECT_NE(output.find("\"source\":1,"), std::string::npos) << output;
  ASSERT_EQ(Salvora("recover --quick --keep-paths --to " + Quote(out_.path()) + " " + Quote(image_),
                    output),
            0)
      << output;
  EXPECT_EQ(test::FileSha256(out_ / "partition1/!at.bin"), test::FileSha256(dir_ / "fat.bin"))
      << output;
  if (!ntfsHash_.empty()) {
    EXPECT_EQ(test::FileSha256(out_ / "partition3/ntfs.bin"), ntfsHash_);
  }

  // One entry alone, by its number.
  ASSERT_EQ(Salvora("scan --quick --json " + Quote(image_ + "@3"), output), 0) << output;
  EXPECT_EQ(output.find("\"source\":1,"), std::string::npos) << output;
  EXPECT_EQ(Salvora("scan --quick " + Quote(image_ + "@9"), output), 2);
  EXPECT_NE(output.find("no entry @9"), std::string::npos) << output;
}

TEST_P(PartitionedImage, DeepScanAlsoWalksTheUnallocatedStretches) {
  std::string output;
  ASSERT_EQ(Salvora("recover --deep --types png --to " + Quote(out_.path()) + " " + Quote(image_),
                    output),
            0)
      << output;
  std::string carved = out_ / ("photo/" + std::to_string(kGapStart + 100) + ".png");
  EXPECT_EQ(test::FileSha256(carved), test::FileSha256(dir_ / "gap.png")) << output;
  ASSERT_EQ(Salvora("scan --deep --json --types png " + Quote(image_ + "@2"), output), 0);
  EXPECT_NE(output.find("\"source\":2,"), std::string::npos) << output;
}

INSTANTIATE_TEST_SUITE_P(Tables, PartitionedImage, ::testing::Values("dos", "gpt"));

TEST(ImageOfAVolume, HasNoEntries) {
  if (!test::HaveCommand("mkfs.fat")) GTEST_SKIP() << "needs dosfstools";
  test::TempDir dir;
  std::string image = dir / "volume.img";
  test::MustRun("mkfs.fat -C -F 32 " + Quote(image) + " 40000 >/dev/null");
  std::vector<PartitionRecord> entries;
  EXPECT_FALSE(ListImageEntries(image, entries));
  test::WriteFile(dir / "noise.img", test::PseudoRandomBytes(1 << 20, 4));
  EXPECT_FALSE(ListImageEntries(dir / "noise.img", entries));
  EXPECT_TRUE(entries.empty());
}

}  // namespace
}  // namespace salvora
