// `salvora image` as a user runs it on loop devices.
#include <gtest/gtest.h>

#include <memory>

#include "storage/DiskEnumerator.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::MustRun;
using test::Quote;

// 48 MiB of distinct bytes, so that a copy of the wrong place shows: one
// partition of 20 MiB at sector 2048 and 27 MiB unallocated after it.
constexpr uint64_t kGapStart = 2048 + 40960, kGapSectors = 98304 - kGapStart;

class ImageCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanUseLoopDevices()) GTEST_SKIP() << "needs root and /dev/loop-control";
    image_ = dir_ / "disk.img";
    test::WriteFile(image_, test::PseudoRandomBytes(48 << 20, 11));
    MustRun("printf 'start=2048, size=40960, type=7\\n' | sfdisk -q --no-reread " + Quote(image_));
    disk_ = std::make_unique<test::LoopDevice>(image_);
    ASSERT_TRUE(disk_->ok()) << "losetup failed";
  }

  int Image(const std::string& arguments, std::string* output = nullptr) {
    return test::Run(Quote(test::SalvoraBinary()) + " image " + arguments, output);
  }

  bool Same(const std::string& a, const std::string& b) {
    return test::Run("cmp -s " + Quote(a) + " " + Quote(b)) == 0;
  }

  // The ordinal the disk list gives the gap after the partition.
  uint32_t GapOrdinal() {
    DiskEnumerator enumerator;
    enumerator.Refresh();
    std::vector<PartitionRecord> all;
    enumerator.CollectAll(all);
    for (const PartitionRecord& record : all)
      if (record.diskPath == disk_->device() && record.kind == EntryKind::kUnallocated &&
          record.start == static_cast<int64_t>(kGapStart))
        return record.ordinal;
    return 0;
  }

  test::TempDir dir_;
  std::string image_;
  std::unique_ptr<test::LoopDevice> disk_;
};

TEST_F(ImageCommand, PartitionAndWholeDiskCopiesAreExact) {
  std::string part = dir_ / "part.img", whole = dir_ / "whole.img", output;
  ASSERT_EQ(Image(Quote(disk_->partition(1)) + " " + Quote(part), &output), 0) << output;
  EXPECT_TRUE(Same(part, disk_->partition(1)));
  EXPECT_NE(output.find("salvora scan --deep"), std::string::npos) << output;
  ASSERT_EQ(Image(Quote(disk_->device()) + " " + Quote(whole)), 0);
  EXPECT_TRUE(Same(whole, image_));
}

TEST_F(ImageCommand, OrdinalOfAGapCopiesThatStretch) {
  std::string gap = dir_ / "gap.img", expected = dir_ / "expected.img";
  MustRun("dd if=" + Quote(image_) + " of=" + Quote(expected) + " bs=512 skip=" +
          std::to_string(kGapStart) + " count=" + std::to_string(kGapSectors) + " status=none");
  // Other programs attaching loop devices meanwhile move the numbers; try
  // again when the list changed under the copy.
  bool same = false;
  for (int attempt = 0; attempt < 3 && !same; ++attempt) {
    uint32_t ordinal = GapOrdinal();
    ASSERT_NE(ordinal, 0u);
    std::string output;
    int status = Image("--yes @" + std::to_string(ordinal) + " " + Quote(gap), &output);
    same = status == 0 && Same(gap, expected);
    if (!same && GapOrdinal() == ordinal) FAIL() << output;
  }
  EXPECT_TRUE(same);
}

TEST_F(ImageCommand, ExistingTargetNeedsYesAndUnknownSourcesAreRefused) {
  std::string target = dir_ / "old.img", output;
  test::WriteFile(target, std::string(100 << 20, 'x'));
  std::string before = test::FileSha256(target);
  EXPECT_EQ(Image(Quote(disk_->partition(1)) + " " + Quote(target), &output), 2);
  EXPECT_NE(output.find("--yes"), std::string::npos) << output;
  EXPECT_EQ(test::FileSha256(target), before);
  ASSERT_EQ(Image("--yes " + Quote(disk_->partition(1)) + " " + Quote(target)), 0);
  EXPECT_TRUE(Same(target, disk_->partition(1)));

  EXPECT_EQ(Image("/dev/no-such-disk " + Quote(dir_ / "x.img"), &output), 2);
  EXPECT_EQ(Image("@999999 " + Quote(dir_ / "x.img"), &output), 2);
  EXPECT_NE(output.find("disk list"), std::string::npos) << output;
}

}  // namespace
}  // namespace salvora
