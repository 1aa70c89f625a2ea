#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "cli/ExitCodes.h"
#include "exfat/ExfatCard.h"

namespace salvora {
namespace {

using test::Quote;

// The whole road through the command line, on a card image and on a
// partition of a disk.
class ExfatCli : public ::testing::Test {
 protected:
  int Salvora(const std::string& arguments, std::string* output = nullptr) {
    return test::Run("SALVORA_DATA_DIR=" + Quote(data_.path()) + " " +
                         Quote(test::SalvoraBinary()) + " " + arguments,
                     output);
  }
  test::TempDir dir_;
  test::TempDir data_;
};

TEST_F(ExfatCli, ScansACardAndRebuildsItsDeletedTree) {
  const test::ExfatCard& card = test::ExfatCard::Get(32768);
  if (!card.skipReason.empty()) GTEST_SKIP() << card.skipReason;
  std::string output;
  ASSERT_EQ(Salvora("info " + Quote(card.image), &output), 0) << output;
  EXPECT_NE(output.find("class:        exFAT"), std::string::npos) << output;
  ASSERT_EQ(Salvora("scan --quick " + Quote(card.image), &output), 0) << output;
  EXPECT_NE(output.find("DCIM/101TRIP/Notes of the trip/packing list for next year.txt"),
            std::string::npos)
      << output;

  std::string out = dir_ / "out";
  // The video whose start other data took is reported: not everything came.
  EXPECT_EQ(
      Salvora("recover --quick --keep-paths --to " + Quote(out) + " " + Quote(card.image), &output),
      kExitSomeFailed)
      << output;
  for (const auto& [path, intact] : card.deleted)
    if (intact) {
      EXPECT_EQ(test::ReadFile(out + "/" + path), card.Original(path)) << path;
    }
  for (const std::string& path : card.live)
    EXPECT_FALSE(std::filesystem::exists(out + "/" + path)) << path;
}

// In deep mode the quick engine's finds are recovered through the deep
// scan, under the paths the quick scan gave them.
TEST_F(ExfatCli, DeepRecoveryKeepsTheQuickFindsAndTheirPaths) {
  const test::ExfatCard& card = test::ExfatCard::Get(4096);
  if (!card.skipReason.empty()) GTEST_SKIP() << card.skipReason;
  std::string out = dir_ / "out", output;
  EXPECT_NE(
      Salvora("recover --deep --keep-paths --to " + Quote(out) + " " + Quote(card.image), &output),
      kExitUsage)
      << output;
  for (const auto& [path, intact] : card.deleted)
    if (intact) {
      EXPECT_EQ(test::ReadFile(out + "/" + path), card.Original(path)) << path;
    }

  // The deep engine rebuilds the deleted folders the quick scan walked too;
  // each file is still listed once.
  ASSERT_EQ(Salvora("scan --deep --json " + Quote(card.image), &output), 0) << output;
  std::map<std::string, int> listed;
  const std::regex place("\"name\":(\"[^\"]*\").*\"entrySector\":([0-9]+)");
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::smatch match;
    if (std::regex_search(line, match, place)) ++listed[match[2].str() + " " + match[1].str()];
  }
  EXPECT_FALSE(listed.empty()) << output;
  for (const auto& [entry, times] : listed) EXPECT_EQ(times, 1) << entry;
}

// A camera's format leaves the old folders in free clusters; the deep scan
// gives the photos back by name below the folders whose sets survive (the
// old root, and with it DCIM's own set, lies under the new root).
TEST_F(ExfatCli, DeepRecoveryGivesBackAReformattedCardByName) {
  const test::ExfatCard& card = test::ExfatCard::Get(32768, true);
  if (!card.skipReason.empty()) GTEST_SKIP() << card.skipReason;
  std::string out = dir_ / "out", output;
  EXPECT_NE(
      Salvora("recover --deep --keep-paths --to " + Quote(out) + " " + Quote(card.image), &output),
      kExitUsage)
      << output;
  for (const std::string& path : card.live) {
    std::string below = path.substr(path.find('/') + 1);
    if (below.find("IMG_0007") != std::string::npos) continue;  // fragmented: its chain is gone
    EXPECT_EQ(test::ReadFile(out + "/" + below), card.Original(path)) << below;
  }
  EXPECT_EQ(test::ReadFile(out + "/101TRIP/IMG_0101.JPG"),
            card.Original("DCIM/101TRIP/IMG_0101.JPG"))
      << "a folder deleted before the format comes back too";
}

TEST_F(ExfatCli, NamesAndScansAnExfatPartition) {
  std::string missing = test::WhyNoExfatFuse();
  if (!missing.empty()) GTEST_SKIP() << missing;
  if (!test::HaveCommand("sfdisk")) GTEST_SKIP() << "sfdisk is not installed";
  std::string image = dir_ / "disk.img", mount = dir_ / "mnt";
  test::MustRun("truncate -s 48M " + Quote(image) + " && mkdir " + Quote(mount));
  test::MustRun("echo 'start=2048, size=81920, type=7' | sfdisk -q " + Quote(image));
  test::LoopDevice loop(image);
  ASSERT_TRUE(loop.ok());
  std::string partition = loop.partition(1);
  std::string photo = test::PseudoRandomBytes(300000, 7);
  test::MustRun("mkfs.exfat -L SDCARD " + Quote(partition) + " >/dev/null");
  test::MustRun("mount.exfat-fuse " + Quote(partition) + " " + Quote(mount));
  test::WriteFile(mount + "/holiday.raw", photo);
  int deleted = test::Run("rm " + Quote(mount + "/holiday.raw"));
  test::MustRun("umount " + Quote(mount));
  ASSERT_EQ(deleted, 0);

  std::string output;
  ASSERT_EQ(Salvora("disks --json", &output), 0) << output;
  std::string row = output.substr(output.find("\"device\":\"" + partition + "\""));
  row = row.substr(0, row.find('}'));
  EXPECT_NE(row.find("\"fileSystem\":\"exFAT\""), std::string::npos) << row;
  EXPECT_NE(row.find("\"label\":\"SDCARD\""), std::string::npos) << row;
  ASSERT_EQ(Salvora("info " + Quote(partition), &output), 0) << output;
  EXPECT_NE(output.find("class:        exFAT"), std::string::npos) << output;

  std::string out = dir_ / "out";
  ASSERT_EQ(
      Salvora("recover --quick --keep-paths --to " + Quote(out) + " " + Quote(partition), &output),
      kExitOk)
      << output;
  EXPECT_EQ(test::ReadFile(out + "/holiday.raw"), photo);
}

}  // namespace
}  // namespace salvora
