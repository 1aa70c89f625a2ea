#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

class Cli : public ::testing::Test {
 protected:
  int Salvora(const std::string& arguments, std::string* output = nullptr) {
    return test::Run("SALVORA_DATA_DIR=" + Quote(data.path()) + " " + Quote(test::SalvoraBinary()) +
                         " " + arguments,
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
               {"e.img", "class:        ext4"}};
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

namespace salvora {
namespace {

// The words around the numbers fit them: one file, and no time left to
// estimate once the scan is done.
TEST_F(Cli, OutputWordsFitTheirNumbers) {
  if (!test::HaveCommand("mkfs.fat") || !test::HaveCommand("mdel"))
    GTEST_SKIP() << "needs dosfstools and mtools";
  std::string image = dir / "one.img";
  test::WriteFile(dir / "note.txt", std::string(3000, 'n'));
  test::MustRun("mkfs.fat -C " + Quote(image) + " 1440 >/dev/null && mcopy -i " + Quote(image) +
                " " + Quote(dir / "note.txt") + " ::/ && mdel -i " + Quote(image) + " ::/note.txt");
  std::string output;
  EXPECT_EQ(Salvora("scan --quick " + Quote(image), &output), 0) << output;
  EXPECT_NE(output.find("Found 1 file ("), std::string::npos) << output;
  EXPECT_NE(output.find("        1 file   "), std::string::npos) << output;
  EXPECT_NE(output.find("100% | time left: 0 Sec"), std::string::npos) << output;
  EXPECT_EQ(output.find("100% | time left: estimating"), std::string::npos) << output;
}

// A whole disk with a partition table is scanned partition by partition.
TEST(CliDisk, QuickScanOfAPartitionedDiskCoversEachPartition) {
  if (!test::CanUseLoopDevices() || !test::HaveCommand("sfdisk") || !test::HaveCommand("mcopy"))
    GTEST_SKIP() << "needs root, loop devices, sfdisk and mtools";
  test::TempDir dir, data, out;
  std::string image = dir / "disk.img";
  test::MustRun("truncate -s 80M " + test::Quote(image));
  test::MustRun(
      "printf 'start=2048, size=61440, type=c\\nstart=65536, size=61440, type=6\\n' | "
      "sfdisk -q " +
      test::Quote(image));
  test::WriteFile(dir / "one.bin", test::PseudoRandomBytes(30000, 1));
  test::WriteFile(dir / "two.bin", test::PseudoRandomBytes(50000, 2));
  struct Part {
    long start;
    const char* fat;
    const char* file;
  } parts[] = {{2048, "16", "one.bin"}, {65536, "12", "two.bin"}};
  for (const Part& p : parts) {
    std::string at = test::Quote(image + "@@" + std::to_string(p.start * 512));
    test::MustRun("mkfs.fat -F " + std::string(p.fat) + " --offset " + std::to_string(p.start) +
                  " " + test::Quote(image) + " 30720 >/dev/null 2>&1");
    test::MustRun("MTOOLS_SKIP_CHECK=1 mcopy -i " + at + " " + test::Quote(dir / p.file) + " ::/");
    test::MustRun("MTOOLS_SKIP_CHECK=1 mdel -i " + at + " ::/" + p.file);
  }
  test::LoopDevice loop(image);
  ASSERT_TRUE(loop.ok());
  loop.partition(1);
  loop.partition(2);
  std::string output;
  std::string command =
      "SALVORA_DATA_DIR=" + test::Quote(data.path()) + " " + test::Quote(test::SalvoraBinary());
  ASSERT_EQ(test::Run(command + " recover --quick --keep-paths --to " + test::Quote(out.path()) +
                          " " + test::Quote(loop.device()),
                      &output),
            0)
      << output;
  EXPECT_EQ(test::FileSha256(out / "partition1/!ne.bin"), test::FileSha256(dir / "one.bin"))
      << output;
  EXPECT_EQ(test::FileSha256(out / "partition2/!wo.bin"), test::FileSha256(dir / "two.bin"))
      << output;
}

}  // namespace
}  // namespace salvora
