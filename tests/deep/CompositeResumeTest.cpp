// An interrupted deep scan resumes where it stopped when the same unchanged
// source is opened again, and ends with what an uninterrupted scan finds.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "deep/CompositeFixture.h"
#include "platform/ErrorCodes.h"
#include "results/ScanHistory.h"
#include "storage/EngineSelection.h"
#include "storage/ImageEntries.h"
#include "support/PartitionedImage.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

namespace fs = std::filesystem;

std::set<FoundFile> FileSet(CProfessionalRecovery& engine) {
  auto files = ListFiles(engine);
  std::set<FoundFile> set;
  for (FoundFile file : files) {
    file.record = {};
    file.kind = 0;
    set.insert(file);
  }
  return set;
}

// A reformatted FAT32 volume with a deleted picture in its new file system
// and noise between: every engine of the deep scan has something to find.
class CompositeResumeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveCommand("mkfs.fat") || !HaveCommand("mcopy") || !HaveCommand("convert"))
      GTEST_SKIP() << "needs dosfstools, mtools and ImageMagick";
    TempDir tree;
    for (int i = 0; i < 6; ++i) {
      std::string folder = tree / ("f" + std::to_string(i)) + "/inner";
      fs::create_directories(folder);
      WriteFile(folder + "/data" + std::to_string(i) + ".bin",
                PseudoRandomBytes(9000 + 4000 * i, i));
    }
    MustRun("cd " + Quote(tree.path()) + " && convert -size 120x90 -seed 3 plasma: p.png");
    // Deleted noise ahead of the picture, so the walk is well under way
    // when the picture is measured; the old folders lie behind an old file
    // larger than the new ones, so the new files do not overwrite them.
    WriteFile(tree / "noise.bin", PseudoRandomBytes(8 << 20, 99));
    WriteFile(tree / "filler.bin", PseudoRandomBytes(9 << 20, 98));
    MustRun("truncate -s 48M " + Quote(image_) + " && mkfs.fat -F 32 " + Quote(image_) +
            " >/dev/null && cd " + Quote(tree.path()) + " && mcopy -i " + Quote(image_) +
            " filler.bin ::/ && mcopy -s -i " + Quote(image_) +
            " f0 f1 f2 f3 f4 f5 ::/ && mkfs.fat -F 32 " + Quote(image_) +
            " >/dev/null && mcopy -i " + Quote(image_) + " noise.bin p.png ::/ && mdel -i " +
            Quote(image_) + " ::/noise.bin ::/p.png");
  }

  std::set<FoundFile> UninterruptedFiles() {
    ScopedDataDir elsewhere;
    auto engine = OpenDeep(image_);
    EXPECT_EQ(RunDeepScan(*engine), kOk);
    return FileSet(*engine);
  }

  ScopedDataDir data_;
  TempDir work_;
  std::string image_ = work_ / "disk.img";
};

TEST_F(CompositeResumeTest, CancelledScanResumesToTheSameFiles) {
  std::set<FoundFile> expected = UninterruptedFiles();
  ASSERT_GE(expected.size(), 8u);
  {
    auto engine = OpenDeep(image_);
    EXPECT_FALSE(engine->ResumesSavedScan());
    ASSERT_EQ(RunDeepScan(*engine, 50), kCancelled);
  }
  auto engine = OpenDeep(image_);
  ASSERT_TRUE(engine->ResumesSavedScan());
  ScanPosition saved = engine->SavedPosition();
  EXPECT_GT(saved.sectorsDone, 0u);
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  EXPECT_GT(engine->LastPosition().sectorsDone, saved.sectorsDone);
  EXPECT_EQ(FileSet(*engine), expected);
}

TEST_F(CompositeResumeTest, ChangedSourceStartsAfreshAndDropsTheSavedScan) {
  {
    auto engine = OpenDeep(image_);
    ASSERT_EQ(RunDeepScan(*engine, 30), kCancelled);
  }
  ASSERT_EQ(ScanHistory::Instance().Entries().size(), 1u);
  std::string folder = EntryResultFolder(ScanHistory::Instance().Entries()[0]);
  MustRun("touch -d '2001-02-03 04:05' " + Quote(image_));
  auto engine = OpenDeep(image_);
  EXPECT_FALSE(engine->ResumesSavedScan());
  EXPECT_FALSE(fs::exists(folder));
  ASSERT_EQ(RunDeepScan(*engine), kOk);
}

TEST_F(CompositeResumeTest, DamagedIndexAndStoresNeverCrashAScan) {
  // An index of noise.
  WriteFile(data_.path() + "/config", PseudoRandomBytes(5000, 3));
  ScanHistory::Instance().Load();
  {
    auto engine = OpenDeep(image_);
    EXPECT_FALSE(engine->ResumesSavedScan());
    ASSERT_EQ(RunDeepScan(*engine, 40), kCancelled);
  }
  // Cut every saved store short in the middle of a record.
  std::string folder = EntryResultFolder(ScanHistory::Instance().Entries().back());
  for (const auto& item : fs::directory_iterator(folder))
    if (fs::file_size(item.path()) > 500) fs::resize_file(item.path(), 500);
  {
    auto engine = OpenDeep(image_);
    ASSERT_TRUE(engine->ResumesSavedScan());
    EXPECT_EQ(RunDeepScan(*engine), kOk);
    ListFiles(*engine);
  }
  // An entry whose folder is gone cannot be resumed.
  fs::remove_all(folder);
  ScanHistory::Instance().Load();
  auto engine = OpenDeep(image_);
  EXPECT_FALSE(engine->ResumesSavedScan());
}

// A partition of a disk image, opened for a deep scan as its row would be.
std::unique_ptr<CProfessionalRecovery> OpenDeepEntry(const PartitionRecord& entry) {
  SelectionResult selection =
      CreateDiskEngine(static_cast<uint32_t>(entry.diskNumber), static_cast<uint64_t>(entry.start),
                       static_cast<uint64_t>(entry.length), 1, true);
  auto* deep = dynamic_cast<CProfessionalRecovery*>(selection.engine.release());
  return std::unique_ptr<CProfessionalRecovery>(deep);
}

TEST(CompositeResumeOfDiskImages, EachPartitionKeepsItsOwnSavedScan) {
  if (!HaveCommand("sfdisk") || !HaveCommand("mkfs.fat") || !HaveCommand("mcopy"))
    GTEST_SKIP() << "needs sfdisk, dosfstools and mtools";
  ScopedDataDir data;
  TempDir work;
  std::string image = work / "disk.img";
  const PartitionPlan first{2048, 81920, "c"}, second{86016, 81920, "c"};
  MakePartitionedImage(image, "dos", 172032, {first, second});
  WriteFile(work / "noise.bin", PseudoRandomBytes(20 << 20, 7));
  for (const PartitionPlan& plan : {first, second})
    FillFat32Partition(image, plan, {work / "noise.bin"}, {"noise.bin"});
  std::vector<PartitionRecord> entries;
  ASSERT_TRUE(ListImageEntries(image, entries));
  ASSERT_EQ(entries.size(), 2u);
  {
    auto engine = OpenDeepEntry(entries[0]);
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(RunDeepScan(*engine, 50), kCancelled);
  }
  // The other partition of the same image is another source.
  auto other = OpenDeepEntry(entries[1]);
  EXPECT_FALSE(other->ResumesSavedScan());
  EXPECT_TRUE(OpenDeepEntry(entries[0])->ResumesSavedScan());
  // Known by the image file: a changed image starts afresh.
  MustRun("touch -d '2001-02-03 04:05' " + Quote(image));
  EXPECT_FALSE(OpenDeepEntry(entries[0])->ResumesSavedScan());
}

}  // namespace
}  // namespace salvora::test
