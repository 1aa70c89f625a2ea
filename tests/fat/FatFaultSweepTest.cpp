// Quick and deep scans of a FAT volume, and the recovery of what they find,
// on a disk that fails reads.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "cli/ExitCodes.h"
#include "cli/ScanCommand.h"
#include "fat/FatTestImage.h"
#include "platform/ErrorCodes.h"
#include "support/FaultSweep.h"

namespace salvora {
namespace {

using test::Quote;

bool HaveTools() {
  return test::HaveCommand("mkfs.fat") && test::HaveCommand("mcopy") &&
         test::HaveCommand("convert");
}

// A floppy with what the engines look for: folders, a long name, live and
// deleted files of several clusters, a deleted folder tree, and real
// pictures for the carving engine.
class FatFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTools()) GTEST_SKIP() << "mkfs.fat, mtools and ImageMagick are needed";
    image = test::MakeFatImage(dir, 12);
    test::Mtools("mmd", image, "::/Docs ::/Docs/Old ::/Pictures");
    test::PutFile(dir, image, "Docs/report.bin", test::PseudoRandomBytes(5000, 1));
    test::PutFile(dir, image, "Docs/A letter with a long name.txt", std::string(3000, 'a'));
    test::PutFile(dir, image, "Docs/Old/draft.bin", draft);
    test::PutFile(dir, image, "Docs/Old/notes.bin", notes);
    for (const char* picture : {"photo.jpg", "chart.png"}) {
      test::MustRun("convert -size 120x90 -seed 3 plasma:red-blue " + Quote(dir / picture));
      test::Mtools("mcopy", image, Quote(dir / picture) + " ::/Pictures/");
    }
    layout = test::ImageLayout(image);
    draftSector = layout.ClusterSector(test::ClusterRuns(image, "Docs/Old/draft.bin")[0].first);
    docsSector = layout.ClusterSector(test::ClusterRuns(image, "Docs")[0].first);
    test::Mtools("mdel", image, "::/Docs/report.bin ::/Pictures/photo.jpg");
    test::Mtools("mdeltree", image, "::/Docs/Old");
  }

  test::TempDir dir;
  std::string image;
  FatLayout layout;
  std::string draft = test::PseudoRandomBytes(2500, 2);
  std::string notes = test::PseudoRandomBytes(1500, 3);
  uint64_t draftSector = 0;
  uint64_t docsSector = 0;
};

TEST_F(FatFaultSweep, QuickScan) {
  test::SweepRun sound = test::SweepReadFaults({image, false});
  EXPECT_EQ(sound.files.size(), 4u) << "report, photo, draft and notes";
}

TEST_F(FatFaultSweep, DeepScan) { test::SweepReadFaults({image, true}); }

// A directory the disk will not give costs only what lies below it: the scan
// says so, and keeps the rest.
TEST_F(FatFaultSweep, AnUnreadableDirectoryIsReportedAndTheRestKept) {
  test::ScopedDataDir data;
  test::FaultPlan plan;
  plan.badSectors = {docsSector};
  test::ReadFaults faults(plan);
  test::EngineOnImage engine(image);
  EXPECT_EQ(engine->Scan(nullptr), kReadFault);
  auto found = engine.FoundFiles();
  EXPECT_TRUE(found.count("Pictures/!hoto.jpg"));
  EXPECT_FALSE(found.count("Docs/!eport.bin"));
}

// The command line still lists what such a scan found, says what it could
// not read and where, and exits as for files that failed.
TEST_F(FatFaultSweep, TheCommandLineListsWhatWasFoundAndTellsOfTheFault) {
  test::ScopedDataDir data;
  test::FaultPlan plan;
  plan.badSectors = {docsSector};
  test::ReadFaults faults(plan);
  ScanOptions options;
  options.source = image;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  int exitCode = RunScan(options, false);
  std::string listed = testing::internal::GetCapturedStdout();
  std::string told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(exitCode, kExitSomeFailed);
  EXPECT_NE(listed.find("!hoto.jpg"), std::string::npos) << listed;
  EXPECT_NE(told.find("could not be read"), std::string::npos) << told;
  EXPECT_NE(told.find("not read: 512 bytes from byte " + std::to_string(docsSector * 512)),
            std::string::npos)
      << told;
}

// A folder's recovery that meets a bad sector in one file reports that file
// as failed and goes on with the next.
TEST_F(FatFaultSweep, ARecoveryMeetingABadSectorReportsThatFileAndGoesOn) {
  test::FaultPlan plan;
  plan.badSectors = {draftSector + 1};
  test::ReadFaults faults(plan);
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  auto tree = engine.WalkTree();
  ASSERT_TRUE(tree.count("Docs/Old/"));
  std::string out = dir / "out";
  auto failures = test::RecoverNotingFailures(*engine, tree["Docs/Old/"], out);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].second, kReadFault);
  EXPECT_NE(failures[0].first.find("!raft.bin"), std::string::npos);
  EXPECT_TRUE(test::ReadFile(out + "/!otes.bin") == notes) << "the next file is recovered";
}

}  // namespace
}  // namespace salvora
