#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/ExitCodes.h"
#include "ext/ExtScenario.h"
#include "support/CarvingFixtures.h"

namespace salvora {
namespace {

using test::Quote;

// The command line on an ext4 volume: the quick listing names the deleted
// files by path; a deep scan adds what carving finds in free blocks only,
// neither live files nor second copies of what the quick scan found.
class ExtCli : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFile(dir_ / "picture.png", test::PngOf(300000));
    test::WriteFile(dir_ / "other.png", test::PngOf(200000));
    test::ExtScenarioPlan plan;
    plan.populate = "mkdir -p keep Bilder/Urlaub; cp " + Quote(dir_ / "picture.png") +
                    " keep/live.png; cp " + Quote(dir_ / "other.png") +
                    " Bilder/Urlaub/strand.png; echo text > Bilder/readme.txt";
    plan.deleted = {"Bilder"};
    scenario_ = test::MakeExtScenario(dir_, plan);
  }
  std::string Json(const std::string& mode) {
    std::string output;
    EXPECT_EQ(test::RunSalvora(data_, "scan " + mode + " --json " + Quote(scenario_.image),
                               &output),
              kExitOk)
        << output;
    return output;
  }

  test::TempDir dir_;
  test::TempDir data_;
  test::ExtScenario scenario_;
};

TEST_F(ExtCli, QuickListingNamesDeletedFilesByPath) {
  if (!scenario_.skipReason.empty()) GTEST_SKIP() << scenario_.skipReason;
  std::string output;
  ASSERT_EQ(test::RunSalvora(data_, "scan --quick " + Quote(scenario_.image), &output), kExitOk);
  EXPECT_NE(output.find("Bilder/Urlaub/strand.png"), std::string::npos) << output;
  EXPECT_NE(output.find("Bilder/readme.txt"), std::string::npos) << output;
  EXPECT_EQ(output.find("live.png"), std::string::npos) << output;
  // The removed folder's blocks, as the volume and the journal keep them,
  // name each of its files more than once: each is listed once all the same.
  for (const std::string path : {"Bilder/Urlaub/strand.png", "Bilder/readme.txt"}) {
    size_t listed = 0;
    for (size_t at = output.find(path); at != std::string::npos; at = output.find(path, at + 1))
      ++listed;
    EXPECT_EQ(listed, 1u) << path << "\n" << output;
  }
  EXPECT_NE(Json("--quick").find("\"engine\":\"quick-ext\""), std::string::npos);
}

TEST_F(ExtCli, DeepScanCarvesFreeBlocksOnly) {
  if (!scenario_.skipReason.empty()) GTEST_SKIP() << scenario_.skipReason;
  std::string output = Json("--deep");
  int quickPng = 0, carvedPng = 0;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(".png\"") == std::string::npos) continue;
    if (line.find("\"engine\":\"quick-ext\"") != std::string::npos) ++quickPng;
    if (line.find("\"engine\":\"carved\"") != std::string::npos) ++carvedPng;
  }
  EXPECT_EQ(quickPng, 1) << output;
  EXPECT_EQ(carvedPng, 0) << output;

  std::string out = dir_ / "out";
  EXPECT_EQ(test::RunSalvora(data_, "recover --deep --keep-paths --to " + Quote(out) + " " +
                                        Quote(scenario_.image),
                             &output),
            kExitOk)
      << output;
  EXPECT_EQ(test::FileSha256(out + "/Bilder/Urlaub/strand.png"),
            scenario_.deleted.at("Bilder/Urlaub/strand.png"));
}

// The same volume as the second partition of a whole-disk image.
TEST_F(ExtCli, PartitionOfADiskImage) {
  if (!scenario_.skipReason.empty()) GTEST_SKIP() << scenario_.skipReason;
  if (!test::HaveCommand("sfdisk")) GTEST_SKIP() << "sfdisk (fdisk) is not installed";
  std::string disk = dir_ / "disk.img", out = dir_ / "out";
  test::MustRun("truncate -s 80M " + Quote(disk) +
                " && printf 'start=2048, size=4096, type=83\\nstart=8192, size=131072, type=83\\n' | "
                "sfdisk -q " + Quote(disk) + " && dd if=" + Quote(scenario_.image) + " of=" +
                Quote(disk) + " bs=1M seek=4 conv=notrunc status=none");
  std::string output;
  EXPECT_EQ(test::RunSalvora(data_, "recover --quick --keep-paths --to " + Quote(out) + " " +
                                        Quote(disk),
                             &output),
            kExitOk)
      << output;
  // Each deleted file comes back byte-exact at its path, below whatever
  // folder the disk's partition is given.
  for (const auto& [path, hash] : scenario_.deleted) {
    std::string copy;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out))
      if (entry.path().generic_string().ends_with("/" + path)) copy = entry.path();
    EXPECT_EQ(test::FileSha256(copy), hash) << path << "\n" << output;
  }
}

}  // namespace
}  // namespace salvora
