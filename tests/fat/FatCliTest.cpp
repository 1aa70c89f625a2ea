#include <gtest/gtest.h>

#include <filesystem>

#include "fat/FatTestImage.h"

namespace salvora {
namespace {

using test::Quote;

// The whole road through the command line: scan, list with paths, and
// rebuild the deleted tree with --keep-paths.
class FatCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("mkfs.fat") || !test::HaveCommand("mcopy"))
      GTEST_SKIP() << "mkfs.fat and mtools are needed";
  }
  int Salvora(const std::string& arguments, std::string* output = nullptr) {
    return test::Run("SALVORA_DATA_DIR=" + Quote(data.path()) + " " + Quote(test::SalvoraBinary()) +
                         " " + arguments,
                     output);
  }
  // A deleted tree with long and 8.3 names on `target` (an image or a
  // device node); returns the planned files by their rebuilt paths.
  std::map<std::string, std::string> MakeDeletedTree(const std::string& target) {
    test::Mtools(
        "mmd", target,
        Quote("::/Photos 2026") + " " + Quote("::/Photos 2026/Trip to the sea") + " ::/KEEP");
    std::map<std::string, std::string> planned = {
        {"Photos 2026/Trip to the sea/beach at noon.raw", test::PseudoRandomBytes(70000, 1)},
        {"Photos 2026/NOTES.TXT", test::PseudoRandomBytes(1234, 2)},
        {"Photos 2026/Empty file.bin", ""},
    };
    for (const auto& [path, content] : planned) test::PutFile(dir, target, path, content);
    test::PutFile(dir, target, "KEEP/live.bin", "still here");
    test::Mtools("mdeltree", target, Quote("::/Photos 2026"));
    return {{"Photos 2026/Trip to the sea/beach at noon.raw",
             planned["Photos 2026/Trip to the sea/beach at noon.raw"]},
            {"Photos 2026/!otes.txt", planned["Photos 2026/NOTES.TXT"]},
            {"Photos 2026/Empty file.bin", ""}};
  }
  void ExpectRebuilt(const std::string& out, const std::map<std::string, std::string>& files) {
    for (const auto& [path, content] : files)
      EXPECT_TRUE(std::filesystem::exists(out + "/" + path) &&
                  test::ReadFile(out + "/" + path) == content)
          << path;
    EXPECT_FALSE(std::filesystem::exists(out + "/KEEP")) << "live files are never recovered";
  }
  test::TempDir dir;
  test::TempDir data;
};

TEST_F(FatCli, ScanListsPathsAndRecoverRebuildsTheTree) {
  std::string image = test::MakeFatImage(dir, 16);
  auto files = MakeDeletedTree(image);
  std::string output;
  ASSERT_EQ(Salvora("scan --quick " + Quote(image), &output), 0) << output;
  EXPECT_NE(output.find("Photos 2026/Trip to the sea/beach at noon.raw"), std::string::npos)
      << output;
  EXPECT_NE(output.find("Found 3 files"), std::string::npos) << output;
  EXPECT_EQ(output.find("live.bin"), std::string::npos) << output;

  std::string out = dir / "out";
  ASSERT_EQ(
      Salvora("recover --quick --keep-paths --to " + Quote(out) + " " + Quote(image), &output), 0)
      << output;
  ExpectRebuilt(out, files);

  std::string grouped = dir / "grouped";
  ASSERT_EQ(Salvora("recover --quick --to " + Quote(grouped) + " " + Quote(image), &output), 0)
      << output;
  size_t count = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(grouped))
    count += entry.is_regular_file();
  EXPECT_EQ(count, 3u);
}

// Names from disk can hold anything; none may lead out of the destination.
TEST_F(FatCli, HostileNamesStayInsideTheDestination) {
  std::string image = test::MakeFatImage(dir, 12);
  auto files = MakeDeletedTree(image);
  // The long name of "Trip to the sea" becomes "..", that of the file
  // "../../x" (its first part holds 13 characters).
  auto toUtf16 = [](const std::string& text) {
    std::string out;
    for (char c : text) out += std::string{c, '\0'};
    return out;
  };
  uint64_t trip = test::FindInImage(image, toUtf16("Trip "));
  ASSERT_NE(trip, UINT64_MAX);
  test::PatchImage(image, trip, toUtf16("..") + std::string("\0\0", 2));
  uint64_t beach = test::FindInImage(image, toUtf16("beach"));
  ASSERT_NE(beach, UINT64_MAX);
  test::PatchImage(image, beach, toUtf16("../.."));
  test::PatchImage(image, beach + 13, toUtf16("/x") + std::string("\0\0", 2));

  std::string listing;
  ASSERT_EQ(Salvora("scan --quick " + Quote(image), &listing), 0);
  EXPECT_NE(listing.find("Photos 2026/../../../x"), std::string::npos) << listing;

  std::string root = dir / "dest";
  std::string out = root + "/inner";
  std::string output;
  ASSERT_EQ(
      Salvora("recover --quick --keep-paths --to " + Quote(out) + " " + Quote(image), &output), 0)
      << output;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    std::string path = entry.path().string();
    EXPECT_EQ(path.rfind(out, 0), 0u) << path << " lies outside " << out;
  }
  EXPECT_TRUE(test::ReadFile(out + "/Photos 2026/!otes.txt") == files["Photos 2026/!otes.txt"]);
}

TEST_F(FatCli, WorksOnLoopPartitionsAndUnpartitionedDisks) {
  if (!test::CanUseLoopDevices() || !test::HaveCommand("sfdisk"))
    GTEST_SKIP() << "needs root, loop devices and sfdisk";
  std::string image = dir / "disk.img";
  test::MustRun("truncate -s 64M " + Quote(image));
  test::MustRun("echo 'start=4096, size=81920, type=c' | sfdisk -q " + Quote(image));
  {
    test::LoopDevice loop(image);
    ASSERT_TRUE(loop.ok());
    std::string partition = loop.partition(1);
    test::MustRun("mkfs.fat -F 32 " + Quote(partition) + " >/dev/null");
    auto files = MakeDeletedTree(partition);
    std::string out = dir / "from-partition";
    std::string output;
    ASSERT_EQ(Salvora("recover --quick --keep-paths --to " + Quote(out) + " " + Quote(partition),
                      &output),
              0)
        << output;
    ExpectRebuilt(out, files);
  }
  std::string whole = dir / "whole.img";
  test::MustRun("mkfs.fat -C -F 16 " + Quote(whole) + " 20480 >/dev/null");
  test::LoopDevice loop(whole);
  ASSERT_TRUE(loop.ok());
  auto files = MakeDeletedTree(loop.device());
  std::string out = dir / "from-disk";
  std::string output;
  ASSERT_EQ(Salvora("recover --quick --keep-paths --to " + Quote(out) + " " + Quote(loop.device()),
                    &output),
            0)
      << output;
  ExpectRebuilt(out, files);
}

}  // namespace
}  // namespace salvora
