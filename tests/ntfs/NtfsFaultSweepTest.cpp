// Quick and deep scans of an NTFS volume, and the recovery of what they
// find, on a disk that fails reads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/ErrorCodes.h"
#include "results/TypeGroups.h"
#include "storage/EngineSelection.h"
#include "support/FaultSweep.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

std::string WhyNotHere() {
  if (!test::IsRoot()) return "writing NTFS through ntfs-3g needs root (FUSE mount)";
  if (!test::HaveCommand("mkntfs") || !test::HaveCommand("ntfs-3g"))
    return "mkntfs and ntfs-3g are not installed";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse is not available";
  if (!test::HaveCommand("convert")) return "ImageMagick is not installed";
  return "";
}

// A small volume written by ntfs-3g: a resident file, files of several
// clusters, a picture, and a deleted folder with files below it.
class NtfsFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string reason = WhyNotHere();
    if (!reason.empty()) GTEST_SKIP() << reason;
    image = dir / "ntfs.img";
    std::string mnt = dir / "mnt";
    test::MustRun("truncate -s 8M " + Quote(image));
    test::MustRun("mkntfs -F -Q -q -s 512 -c 1024 " + Quote(image));
    test::MustRun("mkdir -p " + Quote(mnt) + " && ntfs-3g " + Quote(image) + " " + Quote(mnt));
    mounted = mnt;
    test::MustRun("mkdir -p " + Quote(mnt + "/Docs/Old") + " " + Quote(mnt + "/Pictures"));
    test::WriteFile(mnt + "/Docs/tiny.txt", "A resident file.\n");
    test::WriteFile(mnt + "/Docs/report.bin", test::PseudoRandomBytes(40000, 1));
    test::WriteFile(mnt + "/Docs/Old/draft.bin", test::PseudoRandomBytes(12000, 2));
    test::WriteFile(mnt + "/Docs/Old/notes.bin", test::PseudoRandomBytes(7000, 3));
    test::MustRun("convert -size 160x120 -seed 3 plasma:red-blue " +
                  Quote(mnt + "/Pictures/photo.jpg"));
    test::MustRun("rm -r " + Quote(mnt + "/Docs/report.bin") + " " +
                  Quote(mnt + "/Docs/tiny.txt") + " " + Quote(mnt + "/Pictures/photo.jpg") + " " +
                  Quote(mnt + "/Docs/Old"));
    Unmount();
  }
  void TearDown() override { Unmount(); }
  void Unmount() {
    if (!mounted.empty()) test::Run("umount " + Quote(mounted));
    mounted.clear();
  }

  test::TempDir dir;
  std::string image;
  std::string mounted;
};

TEST_F(NtfsFaultSweep, QuickScan) {
  test::SweepRun sound = test::SweepReadFaults({image, false});
  EXPECT_EQ(sound.files.size(), 5u) << "tiny, report, photo, draft and notes";
}

TEST_F(NtfsFaultSweep, DeepScan) { test::SweepReadFaults({image, true}); }

// The MFT is read a thousand records at a time; a record the disk will not
// give costs only itself, and the scan says so.
TEST_F(NtfsFaultSweep, AnUnreadableMftRecordCostsOnlyItself) {
  std::string boot = test::ReadFile(image).substr(0, 512);
  uint64_t mftCluster = 0;
  for (int i = 7; i >= 0; --i) mftCluster = mftCluster << 8 | static_cast<uint8_t>(boot[0x30 + i]);
  uint64_t mftSector = mftCluster * static_cast<uint8_t>(boot[0x0D]);
  test::ScopedDataDir data;
  test::FaultPlan plan;
  plan.badSectors = {mftSector + 2 * 30};  // a reserved record, before every file's
  test::ReadFaults faults(plan);
  SelectionResult selection = CreateImageEngine(image, 1, false);
  ASSERT_TRUE(selection.engine);
  EXPECT_EQ(selection.engine->Scan(nullptr), kReadFault);
  std::vector<FoundRecord> found;
  selection.engine->ListByType(KnownExtensions() + "|.other", found);
  EXPECT_EQ(found.size(), 5u);
}

}  // namespace
}  // namespace salvora
