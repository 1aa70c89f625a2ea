#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/DataFolders.h"
#include "results/FoundRecord.h"
#include "storage/ScanDataPlacement.h"
#include "storage/StoreEngine.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::MustRun;
using test::Quote;

TEST(ScanDataSize, GrowsWithTheSourceAboveAFloor) {
  EXPECT_EQ(ExpectedScanDataBytes(0, false), ExpectedScanDataBytes(1 << 20, true));
  uint64_t terabyte = 1ull << 40;
  EXPECT_GT(ExpectedScanDataBytes(terabyte, false), 1ull << 30);
  EXPECT_EQ(ExpectedScanDataBytes(terabyte, true), 2 * ExpectedScanDataBytes(terabyte, false));
}

// Restores an environment variable when the test ends.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old, had_ = true;
    if (value.empty())
      ::unsetenv(name);
    else
      ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, saved_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string saved_;
  bool had_ = false;
};

// The usual scan-data folder on an ext4 volume of a loop device, which is
// the source being scanned.
class PlacementOnLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanUseLoopDevices()) GTEST_SKIP() << "needs root and /dev/loop-control";
    if (!test::HaveCommand("mkfs.ext4")) GTEST_SKIP() << "needs mkfs.ext4";
    MustRun("truncate -s 16M " + Quote(image_));
    disk_ = std::make_unique<test::LoopDevice>(image_);
    ASSERT_TRUE(disk_->ok()) << "losetup failed";
    MustRun("mkfs.ext4 -q " + Quote(disk_->device()));
    std::filesystem::create_directories(mount_);
    MustRun("mount -t ext4 " + Quote(disk_->device()) + " " + Quote(mount_));
    mounted_ = true;
    ::chmod(runtime_.path().c_str(), 0700);
  }
  void TearDown() override {
    if (mounted_) test::Run("umount " + Quote(mount_));
  }

  test::TempDir dir_, runtime_;
  std::string image_ = dir_ / "disk.img", mount_ = dir_ / "mnt";
  std::unique_ptr<test::LoopDevice> disk_;
  bool mounted_ = false;
};

TEST_F(PlacementOnLoop, UsualFolderOnTheSourceGivesWayToMemoryWithRoom) {
  ScopedEnv data("SALVORA_DATA_DIR", mount_ + "/data");
  ScopedEnv runtime("XDG_RUNTIME_DIR", runtime_.path());
  ScanDataPlace place = PlaceScanData({disk_->device()}, 1 << 20, {});
  EXPECT_EQ(place.kind, ScanDataPlace::Kind::kMemory);
  EXPECT_EQ(place.folder, runtime_ / "salvora/ScanLog");
  EXPECT_EQ(place.sourceHit, disk_->device());

  // More than the runtime folder holds.
  place = PlaceScanData({disk_->device()}, 1ull << 60, {});
  EXPECT_EQ(place.kind, ScanDataPlace::Kind::kRefused);
  EXPECT_EQ(place.runtimeFolder, runtime_.path());
}

// An engine on an image whose every file holds the same few bytes.
class OneFileEngine final : public StoreEngine {
 public:
  int Scan(const char*) override { return 0; }

 protected:
  int CopyFileData(const FoundRecord&, DataSink& sink) override { return sink.Write("data", 4); }
};

TEST_F(PlacementOnLoop, PreviewsNeverGoOntoTheSource) {
  std::string insideSource = mount_ + "/run";
  std::filesystem::create_directories(insideSource);
  ::chmod(insideSource.c_str(), 0700);
  ScopedEnv runtime("XDG_RUNTIME_DIR", insideSource);
  RemovePreviewFolder();
  FoundRecord picture{};
  SetRecordName(picture.name, "found.jpg");
  picture.fileSize = 4;
  uint8_t memory[16];
  uint32_t size = sizeof memory;
  std::string path;
  // The image behind the loop device that holds the preview folder.
  OneFileEngine onSource;
  ASSERT_EQ(onSource.OpenImage(image_, 1), 0);
  ASSERT_EQ(onSource.ExtractForPreview(&picture, path, memory, size, nullptr, nullptr), 0);
  EXPECT_TRUE(path.empty()) << path;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(memory), size), "data") << "kept in memory";

  std::string other = dir_ / "other.img";
  MustRun("truncate -s 1M " + Quote(other));
  OneFileEngine elsewhere;
  ASSERT_EQ(elsewhere.OpenImage(other, 1), 0);
  size = sizeof memory;
  ASSERT_EQ(elsewhere.ExtractForPreview(&picture, path, memory, size, nullptr, nullptr), 0);
  EXPECT_EQ(path, PreviewFolder().string() + "/tmp.jpg");
  RemovePreviewFolder();
}

}  // namespace
}  // namespace salvora
