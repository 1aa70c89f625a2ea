#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/DeviceStack.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::MustRun;
using test::Quote;

std::string KernelName(const std::string& node) {
  return std::filesystem::path(node).filename().string();
}

// A file-backed loop device with a partition table: an ext4 volume mounted
// with a folder on it, and a second partition left raw.
class LoopStack : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanUseLoopDevices()) GTEST_SKIP() << "needs root and /dev/loop-control";
    if (!test::HaveCommand("mkfs.ext4")) GTEST_SKIP() << "needs mkfs.ext4";
    MustRun("truncate -s 48M " + Quote(image_));
    MustRun("printf 'start=2048, size=40960, type=83\\nstart=43008, type=83\\n' | sfdisk -q " +
            Quote(image_));
    disk_ = std::make_unique<test::LoopDevice>(image_);
    ASSERT_TRUE(disk_->ok()) << "losetup failed";
    MustRun("mkfs.ext4 -q " + Quote(disk_->partition(1)));
    std::filesystem::create_directories(mount_);
    MustRun("mount -t ext4 " + Quote(disk_->partition(1)) + " " + Quote(mount_));
    mounted_ = true;
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    if (mounted_) test::Run("umount " + Quote(mount_));
  }

  test::TempDir dir_;
  std::string image_ = dir_ / "disk.img", mount_ = dir_ / "mnt", folder_ = mount_ + "/home/user";
  std::unique_ptr<test::LoopDevice> disk_;
  bool mounted_ = false;
};

TEST_F(LoopStack, AFolderInsideIsOnTheLoopDiskAndOnTheDiskUnderItsBackingFile) {
  StorageStack stack = StackUnderPath(folder_);
  EXPECT_EQ(stack.disks.count(KernelName(disk_->device())), 1u);
  StorageStack host = StackUnderPath(dir_.path());
  if (host.disks.empty()) GTEST_SKIP() << "the temporary folder is on no block device";
  for (const std::string& disk : host.disks) EXPECT_EQ(stack.disks.count(disk), 1u) << disk;
  struct stat st {};
  ASSERT_EQ(::stat(image_.c_str(), &st), 0);
  EXPECT_EQ(stack.files.count({st.st_dev, st.st_ino}), 1u);
  // Writing into the loop's file system can grow its sparse backing file on
  // the host disk.
  EXPECT_TRUE(PlaceTouchesSource(folder_, "/dev/" + *host.disks.begin()));
}

TEST_F(LoopStack, PlacesAreJudgedAgainstTheWholeSourceDiskAndTheFileBehindIt) {
  EXPECT_TRUE(PlaceTouchesSource(folder_, disk_->partition(1)));
  EXPECT_TRUE(PlaceTouchesSource(folder_, disk_->partition(2))) << "same disk, other partition";
  EXPECT_TRUE(PlaceTouchesSource(folder_, disk_->device()));
  EXPECT_TRUE(PlaceTouchesSource(folder_, image_)) << "the image is the loop's backing file";
  // Beside an image or a loop's backing file nothing it holds can change.
  EXPECT_FALSE(PlaceTouchesSource(dir_.path(), disk_->device()));
  EXPECT_FALSE(PlaceTouchesSource(dir_.path(), image_));
  std::string other = dir_ / "other.img";
  MustRun("truncate -s 1M " + Quote(other));
  EXPECT_FALSE(PlaceTouchesSource(folder_, other));
  std::string which;
  EXPECT_TRUE(PlaceTouchesSources(folder_, {other, disk_->partition(2)}, &which));
  EXPECT_EQ(which, disk_->partition(2));
}

TEST_F(LoopStack, MountsUsingASourceAreItsOwnAndThoseOfItsPartitions) {
  auto mountPoints = [](const std::vector<MountEntry>& mounts) {
    std::vector<std::string> points;
    for (const MountEntry& mount : mounts) points.push_back(mount.mountPoint);
    return points;
  };
  std::vector<std::string> expected = {mount_};
  EXPECT_EQ(mountPoints(MountsUsingSource(disk_->partition(1))), expected);
  EXPECT_EQ(mountPoints(MountsUsingSource(disk_->device())), expected);
  EXPECT_EQ(mountPoints(MountsUsingSource(image_)), expected);
  EXPECT_TRUE(MountsUsingSource(disk_->partition(2)).empty()) << "a sibling is not in use";
  test::WriteFile(folder_ + "/fresh.txt", "written just now");
  EXPECT_EQ(mountPoints(FlushMountsUsingSource(disk_->partition(1))), expected);
}

TEST_F(LoopStack, DeviceMapperOnTheLoopLeadsBackToIt) {
  if (!test::HaveCommand("dmsetup")) GTEST_SKIP() << "needs dmsetup";
  std::string name = "salvora-stack-" + std::to_string(::getpid());
  if (test::Run("dmsetup create " + name + " --table '0 8192 linear " + disk_->partition(2) +
                " 0' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "device-mapper is not available here";
  std::string mapped = dir_ / "mapped";
  std::filesystem::create_directories(mapped);
  bool ok = test::Run("mkfs.ext4 -q /dev/mapper/" + name + " && mount /dev/mapper/" + name + " " +
                      Quote(mapped)) == 0;
  if (ok) {
    EXPECT_TRUE(PlaceTouchesSource(mapped, disk_->device()));
    EXPECT_TRUE(PlaceTouchesSource(mapped, image_));
    EXPECT_EQ(MountsUsingSource(disk_->partition(2)).size(), 1u);
    test::Run("umount " + Quote(mapped));
  }
  test::Run("dmsetup remove " + name);
  EXPECT_TRUE(ok) << "could not make an ext4 on the mapped device";
}

}  // namespace
}  // namespace salvora
