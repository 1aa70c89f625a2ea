// What imaging refuses before it starts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "imaging/ImageTargetCheck.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::MustRun;
using test::Quote;

constexpr uint64_t kGiB = 1ull << 30;

TEST(ImageTargetLimits, FatFamiliesRefuseWhatTheyCannotHold) {
  EXPECT_EQ(FileSystemLimit("FAT32", 5 * kGiB), TargetProblem::kFat32Limit);
  EXPECT_EQ(FileSystemLimit("fat32", 4 * kGiB), TargetProblem::kFat32Limit);
  EXPECT_EQ(FileSystemLimit("FAT32", 4 * kGiB - 1), TargetProblem::kNone);
  EXPECT_EQ(FileSystemLimit("FAT", 3 * kGiB), TargetProblem::kFatLimit);
  EXPECT_EQ(FileSystemLimit("FAT", 2 * kGiB), TargetProblem::kNone);
  EXPECT_EQ(FileSystemLimit("exFAT", 50 * kGiB), TargetProblem::kNone);
  EXPECT_EQ(FileSystemLimit("NTFS", 50 * kGiB), TargetProblem::kNone);
  EXPECT_EQ(FileSystemLimit("ext4", 50 * kGiB), TargetProblem::kNone);
}

TEST(ImageTargetCheck, RefusesWhatCannotBeAnImageTarget) {
  test::TempDir dir;
  std::string message;
  ImageSourceInfo none;
  EXPECT_EQ(CheckImageTarget(none, dir / "a.img", message), TargetProblem::kNoSource);

  ImageSourceInfo image;
  image.imagePath = dir / "source.img";
  image.sizeBytes = 4096;
  test::WriteFile(image.imagePath, std::string(4096, 'a'));
  EXPECT_EQ(CheckImageTarget(image, image.imagePath, message), TargetProblem::kSameFile);
  EXPECT_NE(message.find("source.img"), std::string::npos);

  std::filesystem::create_directory(dir / "folder");
  EXPECT_EQ(CheckImageTarget(image, dir / "folder", message), TargetProblem::kNotAFile);
  ASSERT_EQ(::symlink("/dev/null", (dir / "link.img").c_str()), 0);
  EXPECT_EQ(CheckImageTarget(image, dir / "link.img", message), TargetProblem::kNotAFile);

  EXPECT_EQ(CheckImageTarget(image, dir / "new.img", message), TargetProblem::kNone);
  EXPECT_EQ(message, "");
  image.sizeBytes = 1ull << 60;
  EXPECT_EQ(CheckImageTarget(image, dir / "new.img", message), TargetProblem::kNoSpace);
}

// A disk with an ext4 volume mounted by the kernel and an NTFS volume
// mounted through FUSE, the two ways a target can sit on the source.
class ImageTargetOnSource : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanUseLoopDevices()) GTEST_SKIP() << "needs root and /dev/loop-control";
    std::string image = dir_ / "disk.img";
    MustRun("truncate -s 64M " + Quote(image));
    MustRun("printf 'start=2048, size=40960, type=83\\nstart=43008, type=7\\n' | sfdisk -q " +
            Quote(image));
    disk_ = std::make_unique<test::LoopDevice>(image);
    ASSERT_TRUE(disk_->ok()) << "losetup failed";
    MustRun("mkfs.ext4 -q " + Quote(disk_->partition(1)));
    MustRun("mkntfs -q -F -f " + Quote(disk_->partition(2)) + " >/dev/null");
    std::filesystem::create_directories(ext_);
    std::filesystem::create_directories(ntfs_);
    MustRun("mount -t ext4 " + Quote(disk_->partition(1)) + " " + Quote(ext_));
    extMounted_ = true;
  }
  void TearDown() override {
    if (ntfsMounted_) test::Run("umount " + Quote(ntfs_));
    if (extMounted_) test::Run("umount " + Quote(ext_));
  }
  bool MountNtfs() {
    if (!std::filesystem::exists("/dev/fuse") || !test::HaveCommand("ntfs-3g")) return false;
    MustRun("ntfs-3g " + Quote(disk_->partition(2)) + " " + Quote(ntfs_));
    return ntfsMounted_ = true;
  }
  TargetProblem Check(const std::string& sourceNode, const std::string& target) {
    ImageSourceInfo source;
    source.devicePath = sourceNode;
    source.sizeBytes = 1 << 20;
    std::string message;
    return CheckImageTarget(source, target, message);
  }

  test::TempDir dir_;
  std::string ext_ = dir_ / "ext", ntfs_ = dir_ / "ntfs";
  std::unique_ptr<test::LoopDevice> disk_;
  bool extMounted_ = false, ntfsMounted_ = false;
};

TEST_F(ImageTargetOnSource, TargetOnTheCopiedDiskIsRefused) {
  std::string onExt = ext_ + "/copy.img";
  EXPECT_EQ(Check(disk_->partition(1), onExt), TargetProblem::kOnSourceDisk);
  EXPECT_EQ(Check(disk_->partition(2), onExt), TargetProblem::kOnSourceDisk);
  EXPECT_EQ(Check(disk_->device(), onExt), TargetProblem::kOnSourceDisk);
  // A target elsewhere is fine.
  EXPECT_EQ(Check(disk_->partition(1), dir_ / "copy.img"), TargetProblem::kNone);
}

TEST_F(ImageTargetOnSource, TargetOnAFuseMountOfTheSourceIsRefused) {
  if (!MountNtfs()) GTEST_SKIP() << "needs /dev/fuse and ntfs-3g";
  std::string onNtfs = ntfs_ + "/copy.img";
  EXPECT_EQ(Check(disk_->partition(2), onNtfs), TargetProblem::kOnSourceDisk);
  EXPECT_EQ(Check(disk_->device(), onNtfs), TargetProblem::kOnSourceDisk);
}

}  // namespace
}  // namespace salvora
