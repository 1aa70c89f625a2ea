#include <gtest/gtest.h>

#include <string>

#include "fat/FatTestImage.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

using test::Quote;

// Deleted folders that no entry leads to any more: LOSTTOP's entry in the
// root and its first cluster are wiped, so that its deleted subfolder
// "Inner" is reached from nowhere; keep/SUBLOST's entry is wiped while keep
// stays, so its ".." still names a folder the walk knows. "Walked" is
// deleted the ordinary way and must be found once, by the walk.
class FatLostFolders : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("mkfs.fat") || !test::HaveCommand("mcopy"))
      GTEST_SKIP() << "mkfs.fat and mtools are needed";
    image = test::MakeFatImage(dir, GetParam());
    layout = test::ImageLayout(image);
    uint32_t cluster = layout.ClusterBytes();
    test::Mtools("mmd", image, "::/keep ::/Walked ::/LOSTTOP ::/LOSTTOP/Inner ::/keep/SUBLOST");
    innerContents[0] = Put("LOSTTOP/Inner/first photo.jpg", 3 * cluster + 11, 1);
    innerContents[1] = Put("LOSTTOP/Inner/NOTES.TXT", 900, 2);
    subContent = Put("keep/SUBLOST/report.pdf", 2 * cluster, 3);
    walkedContent = Put("Walked/walked file.bin", cluster + 5, 4);
    // A file holding a copy of a directory's start, as a disk image would:
    // its "." names a cluster other than the one it lies in.
    test::PutFile(dir, image, "Walked/DIRCOPY.BIN", DirectoryStartNaming(0x1234));
    innerCluster = test::ClusterRuns(image, "LOSTTOP/Inner").at(0).first;
    subCluster = test::ClusterRuns(image, "keep/SUBLOST").at(0).first;
    test::Mtools("mdeltree", image, "::/LOSTTOP ::/keep/SUBLOST ::/Walked");
    uint32_t topCluster = WipeEntry("OSTTOP    \x10");
    test::PatchImage(image, test::ClusterOffset(layout, topCluster), std::string(cluster, '\0'));
    WipeEntry("UBLOST    \x10");
  }

  std::string Put(const std::string& path, size_t size, uint64_t seed) {
    std::string content = test::PseudoRandomBytes(size, seed);
    test::PutFile(dir, image, path, content);
    return content;
  }

  static std::string DirectoryStartNaming(uint16_t cluster) {
    std::string start;
    for (const char* name : {".          ", "..         "}) {
      std::string entry(32, '\0');
      entry.replace(0, 11, name);
      entry[11] = 0x10;
      entry[26] = static_cast<char>(cluster & 0xFF);
      entry[27] = static_cast<char>(cluster >> 8);
      start += entry;
    }
    std::string file(32, '\0');  // a deleted file in it, that a walk would list
    file.replace(0, 11, "\xE5" "AKE    BIN");
    file[11] = 0x20;
    file[26] = 3;
    file[28] = 100;
    return start + file + std::string(1000, '\0');
  }

  // Zeroes the deleted directory entry whose name ends as `tail` (its first
  // byte is the deletion mark) and returns the cluster it named. Each is the
  // last entry of its directory, so the zero ends the directory there.
  uint32_t WipeEntry(const std::string& tail) {
    uint64_t at = test::FindInImage(image, tail);
    EXPECT_NE(at, UINT64_MAX) << "entry not found";
    if (at == UINT64_MAX) return 0;
    std::string entry = test::ReadImage(image, at - 1, 32);
    auto word = [&entry](size_t offset) {
      return static_cast<uint32_t>(static_cast<uint8_t>(entry[offset]) |
                                   (static_cast<uint8_t>(entry[offset + 1]) << 8));
    };
    test::PatchImage(image, at - 1, std::string(32, '\0'));
    return (layout.IsFat32() ? word(20) << 16 : 0) | word(26);
  }

  std::string Lost(uint32_t cluster) { return "LostFolder" + std::to_string(cluster); }

  test::TempDir dir;
  std::string image;
  FatLayout layout;
  std::string innerContents[2], subContent, walkedContent;
  uint32_t innerCluster = 0, subCluster = 0;
};

TEST_P(FatLostFolders, ListsTheFilesOfUnreachableFoldersAndRecoversThemByteExact) {
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine.openResult(), 0);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  // Filed under the root when the parent is gone, under the parent when the
  // walk knows it.
  const std::string expected[][2] = {
      {Lost(innerCluster) + "/first photo.jpg", innerContents[0]},
      {Lost(innerCluster) + "/!otes.txt", innerContents[1]},
      {"keep/" + Lost(subCluster) + "/!eport.pdf", subContent},
      {"Walked/walked file.bin", walkedContent},
  };
  std::map<std::string, FoundRecord> tree = engine.WalkTree();
  int copies = 0;
  for (const auto& [listedAs, content] : expected) {
    EXPECT_TRUE(tree.count(listedAs)) << listedAs << " not reachable from the root";
    std::string target = dir / ("out" + std::to_string(++copies));
    ASSERT_EQ(engine.RecoverListed(listedAs, target), kOk) << listedAs;
    EXPECT_TRUE(test::ReadFile(target) == content) << listedAs;
  }
}

// Nor is a copy of a directory's start inside a deleted file.
TEST_P(FatLostFolders, AFolderTheWalkReachesIsNotListedAgainAsLost) {
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  int lostFolders = 0, walkedCopies = 0;
  for (const auto& [path, record] : engine.WalkTree()) {
    if (path.ends_with("walked file.bin")) ++walkedCopies;
    if (path.ends_with("/") && path.find("LostFolder") != std::string::npos) ++lostFolders;
  }
  EXPECT_EQ(walkedCopies, 1);
  EXPECT_EQ(lostFolders, 2);
}

INSTANTIATE_TEST_SUITE_P(Widths, FatLostFolders, ::testing::Values(16, 32),
                         [](const auto& info) { return "Fat" + std::to_string(info.param); });

}  // namespace
}  // namespace salvora
