#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

class Cli : public ::testing::Test {
 protected:
  int Salvora(const std::string& arguments, std::string* output = nullptr) {
    return test::Run("SALVORA_DATA_DIR=" + Quote(data.path()) + " " +
                         Quote(test::SalvoraBinary()) + " " + arguments,
                     output);
  }
  test::TempDir dir;
  test::TempDir data;
};

TEST_F(Cli, InfoNamesTheClassOfRealVolumes) {
  if (!test::HaveCommand("mkfs.fat") || !test::HaveCommand("mkntfs") ||
      !test::HaveCommand("mkfs.ext4"))
    GTEST_SKIP() << "mkfs.fat, mkntfs and mkfs.ext4 are needed";
  test::MustRun("mkfs.fat -C -F 12 " + Quote(dir / "f12.img") + " 1440 >/dev/null");
  test::MustRun("mkfs.fat -C -F 32 " + Quote(dir / "f32.img") + " 70000 >/dev/null");
  test::MustRun("truncate -s 16M " + Quote(dir / "n.img") + " && mkntfs -F -Q -q " +
                Quote(dir / "n.img") + " >/dev/null 2>&1");
  test::MustRun("truncate -s 16M " + Quote(dir / "e.img") + " && mkfs.ext4 -q -F " +
                Quote(dir / "e.img"));
  test::MustRun("chmod 444 " + Quote(dir / "f12.img"));
  struct Case {
    const char* image;
    const char* expected;
  } cases[] = {{"f12.img", "class:        FAT"},
               {"f32.img", "class:        FAT"},
               {"n.img", "class:        NTFS"},
               {"e.img", "class:        ext"}};
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(Salvora("info " + Quote(dir / c.image), &output), 0) << output;
    EXPECT_NE(output.find(c.expected), std::string::npos) << c.image << "\n" << output;
  }
  std::string output;
  Salvora("info " + Quote(dir / "f12.img"), &output);
  EXPECT_NE(output.find("sectors:      2880"), std::string::npos) << output;
  EXPECT_NE(output.find("size:         1.41 MB"), std::string::npos) << output;
}

TEST_F(Cli, QuickScanOfExtEndsAtOnceAndRandomBytesAreExplained) {
  if (!test::HaveCommand("mkfs.ext4")) GTEST_SKIP() << "mkfs.ext4 is needed";
  test::MustRun("truncate -s 16M " + Quote(dir / "e.img") + " && mkfs.ext4 -q -F " +
                Quote(dir / "e.img"));
  std::string output;
  EXPECT_EQ(Salvora("scan --quick " + Quote(dir / "e.img"), &output), 0) << output;
  EXPECT_NE(output.find("Found 0 files"), std::string::npos) << output;

  test::WriteFile(dir / "random.bin", test::PseudoRandomBytes(1 << 20, 5));
  output.clear();
  EXPECT_EQ(Salvora("scan --quick " + Quote(dir / "random.bin"), &output), 2);
  EXPECT_NE(output.find("cannot scan"), std::string::npos) << output;
}

TEST_F(Cli, BadUsageAndMissingSourcesExitWithTwo) {
  EXPECT_EQ(Salvora("scan"), 2);
  EXPECT_EQ(Salvora("frobnicate"), 2);
  EXPECT_EQ(Salvora("scan --quick --deep x"), 2);
  std::string output;
  EXPECT_EQ(Salvora("scan --quick /nonexistent.img", &output), 2);
  EXPECT_NE(output.find("/nonexistent.img"), std::string::npos);
  EXPECT_EQ(Salvora("recover --quick /nonexistent.img"), 2) << "--to is required";
}

TEST_F(Cli, InfoOfALoopPartitionGivesItsDiskAndStart) {
  if (!test::CanUseLoopDevices() || !test::HaveCommand("sfdisk"))
    GTEST_SKIP() << "needs root, loop devices and sfdisk";
  std::string image = dir / "disk.img";
  test::MustRun("truncate -s 64M " + Quote(image));
  test::MustRun("echo 'start=4096, size=40960, type=c' | sfdisk -q " + Quote(image));
  test::LoopDevice loop(image);
  ASSERT_TRUE(loop.ok());
  test::MustRun("mkfs.fat -F 32 " + Quote(loop.partition(1)) + " >/dev/null");
  std::string output;
  ASSERT_EQ(Salvora("info " + Quote(loop.partition(1)), &output), 0) << output;
  EXPECT_NE(output.find("class:        FAT"), std::string::npos) << output;
  EXPECT_NE(output.find("first sector: 4096"), std::string::npos) << output;
  EXPECT_NE(output.find("disk number:"), std::string::npos) << output;
}

}  // namespace
}  // namespace salvora
