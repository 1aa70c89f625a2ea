// A user whose home folder lies on the disk being scanned: quick and deep
// scans and recoveries must leave nothing new on it, and the deleted files
// must still come back.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "support/PartitionedImage.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;
using test::MustRun;
using test::Quote;

// Every entry under a folder with its size and change times: any file made,
// even one made and removed again, changes a folder's times.
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    struct stat st {};
    ::lstat(entry.path().c_str(), &st);
    entries[entry.path().string()] =
        std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
        std::to_string(st.st_mtim.tv_nsec) + " " + std::to_string(st.st_ctim.tv_nsec);
  }
  return entries;
}

// The SHA-256 of every regular file under a folder.
std::multiset<std::string> HashesUnder(const std::string& root) {
  std::multiset<std::string> hashes;
  if (!fs::exists(root)) return hashes;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) hashes.insert(test::FileSha256(entry.path().string()));
  return hashes;
}

class HomeOnSource : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::CanUseLoopDevices()) GTEST_SKIP() << "needs root and /dev/loop-control";
    for (const char* tool : {"mkfs.ext4", "mkfs.fat", "mcopy", "sfdisk"})
      if (!test::HaveCommand(tool)) GTEST_SKIP() << "needs " << tool;
    // One disk: the home volume (ext4) and a FAT32 volume with deleted files.
    test::PartitionPlan home{2048, 65536, "83"}, fat{67584, 139264, "c"};
    test::MakePartitionedImage(image_, "dos", 208896, {home, fat});
    std::vector<std::string> files;
    for (const auto& [name, bytes] : planned_) {
      test::WriteFile(dir_ / name, bytes);
      files.push_back(dir_ / name);
    }
    test::FillFat32Partition(image_, fat, files, {"LOST1.BIN", "LOST2.TXT"});
    disk_ = std::make_unique<test::LoopDevice>(image_);
    ASSERT_TRUE(disk_->ok()) << "losetup failed";
    MustRun("mkfs.ext4 -q " + Quote(disk_->partition(1)));
    fs::create_directories(mount_);
    MustRun("mount -t ext4 " + Quote(disk_->partition(1)) + " " + Quote(mount_));
    mounted_ = true;
    for (const char* folder : {".local/share", ".config", ".cache", ".local/state", "Documents"})
      fs::create_directories(home_ + "/" + folder);
    test::WriteFile(home_ + "/Documents/letter.txt", "the user's own file");
    ::chmod(runtime_.path().c_str(), 0700);
    MustRun("sync");
  }
  void TearDown() override {
    if (mounted_) test::Run("umount " + Quote(mount_));
  }
  // Runs salvora as the user whose home is on the scanned disk.
  int Salvora(const std::string& arguments, std::string* output, bool withRuntime = true) {
    std::string environment =
        std::string("env -u SALVORA_DATA_DIR") + (withRuntime ? "" : " -u XDG_RUNTIME_DIR") +
        " HOME=" + Quote(home_) + " XDG_DATA_HOME=" + Quote(home_ + "/.local/share") +
        " XDG_CONFIG_HOME=" + Quote(home_ + "/.config") +
        " XDG_CACHE_HOME=" + Quote(home_ + "/.cache") +
        " XDG_STATE_HOME=" + Quote(home_ + "/.local/state") +
        (withRuntime ? " XDG_RUNTIME_DIR=" + Quote(runtime_.path()) : std::string());
    output->clear();
    return test::Run(environment + " " + Quote(test::SalvoraBinary()) + " " + arguments, output);
  }
  std::multiset<std::string> LostHashes() {
    return {test::FileSha256(dir_ / "LOST1.BIN"), test::FileSha256(dir_ / "LOST2.TXT")};
  }
  void ExpectRecovered(const std::string& folder) {
    std::multiset<std::string> found = HashesUnder(folder);
    for (const std::string& hash : LostHashes()) EXPECT_GE(found.count(hash), 1u) << folder;
  }

  test::TempDir dir_, runtime_, out_;
  std::string image_ = dir_ / "disk.img", mount_ = dir_ / "home-volume",
              home_ = mount_ + "/home/user";
  std::map<std::string, std::string> planned_ = {{"LOST1.BIN", test::PseudoRandomBytes(70000, 7)},
                                                 {"LOST2.TXT", std::string(3000, 'x') + "the end"},
                                                 {"KEEP.BIN", test::PseudoRandomBytes(5000, 8)}};
  std::unique_ptr<test::LoopDevice> disk_;
  bool mounted_ = false;
};

TEST_F(HomeOnSource, ScansAndRecoveriesLeaveTheHomeVolumeUntouched) {
  std::string fatVolume = disk_->partition(2);
  std::map<std::string, std::string> before = Snapshot(mount_);
  std::string fatBefore = test::FileSha256(fatVolume);
  std::string output;

  ASSERT_EQ(Salvora("scan --quick " + Quote(fatVolume), &output), 0) << output;
  EXPECT_NE(output.find("held in memory"), std::string::npos) << output;
  ASSERT_EQ(Salvora("scan --deep " + Quote(fatVolume), &output), 0) << output;
  EXPECT_NE(output.find("resume state goes there too"), std::string::npos) << output;
  ASSERT_EQ(
      Salvora("recover --quick --to " + Quote(out_ / "quick") + " " + Quote(fatVolume), &output), 0)
      << output;
  ExpectRecovered(out_ / "quick");
  ASSERT_EQ(
      Salvora("recover --deep --to " + Quote(out_ / "deep") + " " + Quote(fatVolume), &output), 0)
      << output;
  ExpectRecovered(out_ / "deep");

  // The deep scan can be resumed from memory; quick results are gone.
  std::string scanLog = runtime_ / "salvora/ScanLog";
  EXPECT_TRUE(fs::exists(scanLog + "/config"));
  ASSERT_EQ(Salvora("scans --scan-data " + Quote(scanLog), &output), 0) << output;
  EXPECT_NE(output.find("results in " + scanLog), std::string::npos) << output;

  EXPECT_EQ(Snapshot(mount_), before) << "something was written onto the scanned disk";
  EXPECT_EQ(test::FileSha256(fatVolume), fatBefore);
}

TEST_F(HomeOnSource, PlacesOnTheScannedDiskAreRefusedWithAWayOut) {
  std::string fatVolume = disk_->partition(2);
  std::map<std::string, std::string> before = Snapshot(mount_);
  std::string output;
  EXPECT_EQ(Salvora("recover --quick --to " + Quote(home_ + "/Recovered") + " " + Quote(fatVolume),
                    &output),
            2)
      << output;
  EXPECT_EQ(Salvora("scan --quick --scan-data " + Quote(home_ + "/scan") + " " + Quote(fatVolume),
                    &output),
            2)
      << output;
  EXPECT_NE(output.find("name a folder on another disk"), std::string::npos) << output;
  // No memory folder to fall back on: refused, naming the way out.
  EXPECT_EQ(Salvora("scan --quick " + Quote(fatVolume), &output, false), 2) << output;
  EXPECT_NE(output.find("--scan-data DIR"), std::string::npos) << output;
  EXPECT_EQ(Snapshot(mount_), before);

  // A folder on another disk is used as named.
  std::string elsewhere = out_ / "scan-data";
  ASSERT_EQ(Salvora("scan --deep --scan-data " + Quote(elsewhere) + " " + Quote(fatVolume), &output,
                    false),
            0)
      << output;
  EXPECT_TRUE(fs::exists(elsewhere + "/config"));
}

TEST_F(HomeOnSource, TheMountedHomeVolumeItselfIsScannedWithAWarning) {
  std::map<std::string, std::string> before = Snapshot(mount_);
  std::string output;
  int code = Salvora("scan --deep " + Quote(disk_->partition(1)), &output);
  EXPECT_TRUE(code == 0 || code == 1) << output;
  EXPECT_NE(output.find("is in use, mounted at " + mount_), std::string::npos) << output;
  EXPECT_NE(output.find("salvora image"), std::string::npos) << output;
  EXPECT_EQ(Snapshot(mount_), before) << "something was written onto the scanned volume";
  // Imaging it is flushed and warned about alike.
  ASSERT_EQ(
      Salvora("image " + Quote(disk_->partition(1)) + " " + Quote(out_ / "home.img"), &output), 0)
      << output;
  EXPECT_NE(output.find("is in use, mounted at " + mount_), std::string::npos) << output;
  EXPECT_NE(output.find("unmount it first"), std::string::npos) << output;
}

}  // namespace
}  // namespace salvora
