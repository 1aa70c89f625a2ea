#include <gtest/gtest.h>

#include <set>

#include "fat/FatTestImage.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

using test::Quote;

struct PlannedFile {
  std::string path;  // on the volume
  std::string content;
  std::string listedAs;  // folder path + name as the scan lists it; empty: never listed
};

// A volume on which single files were deleted, a whole tree was deleted,
// and a new file then took part of the freed space.
class FatScenario : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("mkfs.fat") || !test::HaveCommand("mcopy"))
      GTEST_SKIP() << "mkfs.fat and mtools are needed";
    image = test::MakeFatImage(dir, GetParam());
    cluster = test::ImageLayout(image).ClusterBytes();
    test::Mtools("mmd", image, "::/keep ::/fresh");
    // Allocated first, so that the new file below lands in its clusters.
    Put("keep/FILLER.BIN", 30 * cluster, "keep/!iller.bin");
    test::Mtools("mmd", image,
                 Quote("::/Tree Folder") + " " + Quote("::/Tree Folder/Sub Folder") + " " +
                     Quote("::/Tree Folder/Sub Folder/DEEP"));
    Put("keep/live.txt", 700, "");
    Put("keep/Deleted long name.bin", 3 * cluster + 17, "keep/Deleted long name.bin");
    Put("keep/EMPTY.TXT", 0, "keep/!mpty.txt");
    Put("keep/ONE.DAT", cluster, "keep/!ne.dat");
    Put("Tree Folder/many clusters.bin", 40 * cluster + 100, "Tree Folder/many clusters.bin");
    Put("Tree Folder/Sub Folder/nested long name.dat", 5 * cluster,
        "Tree Folder/Sub Folder/nested long name.dat");
    Put("Tree Folder/Sub Folder/DEEP/DATA1.BIN", 1000, "Tree Folder/Sub Folder/!eep/!ata1.bin");
    Put("Tree Folder/Sub Folder/DEEP/ZERO.BIN", 0, "Tree Folder/Sub Folder/!eep/!ero.bin");
    test::Mtools("mdel", image,
                 "::/keep/FILLER.BIN " + Quote("::/keep/Deleted long name.bin") +
                     " ::/keep/EMPTY.TXT ::/keep/ONE.DAT");
    test::Mtools("mdeltree", image, Quote("::/Tree Folder"));
    if (GetParam() == 32) RestartAllocationAtTheStart();
    Put("fresh/NEW.BIN", 10 * cluster, "");
    newClusters = test::ClusterRuns(image, "fresh/NEW.BIN");
    ASSERT_FALSE(newClusters.empty());
  }

  // FAT32 writers continue after the last cluster they gave out (the
  // FSInfo hint); pointing the hint at the start makes the new file take
  // freed clusters, as it does on FAT12/16.
  void RestartAllocationAtTheStart() {
    std::string boot = test::ReadImage(image, 0, 512);
    uint32_t fsInfo = static_cast<uint8_t>(boot[48]) | (static_cast<uint8_t>(boot[49]) << 8);
    test::PatchImage(image, fsInfo * 512ull + 0x1EC, std::string("\x02\0\0\0", 4));
  }

  void Put(const std::string& path, size_t size, const std::string& listedAs) {
    std::string content = test::PseudoRandomBytes(size, files.size() + 1);
    test::PutFile(dir, image, path, content);
    files.push_back({path, content, listedAs});
  }

  bool Reused(const FoundRecord& record) const {
    uint64_t clusters = (record.fileSize + cluster - 1) / cluster;
    for (auto [first, last] : newClusters)
      if (record.firstCluster <= last && record.firstCluster + clusters > first) return true;
    return false;
  }

  test::TempDir dir;
  std::string image;
  uint32_t cluster = 0;
  std::vector<PlannedFile> files;
  std::vector<std::pair<uint32_t, uint32_t>> newClusters;
};

TEST_P(FatScenario, FindsEveryDeletedFileWithItsPathAndRecoversItByteExact) {
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine.openResult(), 0);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  std::map<std::string, FoundRecord> found = engine.FoundFiles();

  std::set<std::string> expected;
  for (const PlannedFile& file : files)
    if (!file.listedAs.empty()) expected.insert(file.listedAs);
  std::set<std::string> listed;
  for (const auto& [path, record] : found) listed.insert(path);
  EXPECT_EQ(listed, expected) << "live files must never be listed";

  int intact = 0, reused = 0;
  for (const PlannedFile& file : files) {
    if (file.listedAs.empty() || !found.count(file.listedAs)) continue;
    const FoundRecord& record = found[file.listedAs];
    EXPECT_EQ(uint64_t{record.fileSize}, file.content.size()) << file.path;
    EXPECT_EQ(uint32_t{record.engineKind}, uint32_t{kQuickFat});
    std::string target = dir / ("out/" + std::to_string(record.recordNo));
    ASSERT_EQ(engine->RecoverItem(&record, target, 0), 0) << file.path;
    if (Reused(record)) {
      ++reused;
      continue;
    }
    ++intact;
    EXPECT_TRUE(test::ReadFile(target) == file.content) << file.path;
  }
  EXPECT_EQ(reused, 1) << "only the filler's clusters were taken again";
  EXPECT_EQ(intact, static_cast<int>(expected.size()) - 1);
}

TEST_P(FatScenario, TheFolderTreeLeadsToEveryFoundFile) {
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  std::map<std::string, FoundRecord> tree = engine.WalkTree();
  for (const auto& [path, record] : engine.FoundFiles()) {
    ASSERT_TRUE(tree.count(path)) << path << " cannot be reached from the root";
    EXPECT_EQ(uint32_t{tree[path].recordNo}, uint32_t{record.recordNo});
  }
  ASSERT_TRUE(tree.count("Tree Folder/"));
  EXPECT_EQ(uint32_t{tree["Tree Folder/"].isDeleted}, 1u);
  ASSERT_TRUE(tree.count("keep/"));
  EXPECT_EQ(uint32_t{tree["keep/"].isDeleted}, 0u) << "a live folder on the way to a deleted file";
  EXPECT_FALSE(tree.count("fresh/")) << "folders without found files are not listed";
  uint32_t count = 0;
  EXPECT_EQ(engine->CountFolderFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, 8u);
}

// The destination's depth has nothing to do with the folder's depth on the
// volume: the whole subtree arrives wherever the folder is put.
TEST_P(FatScenario, AFolderIsRecoveredWithItsWholeSubtreeAtAnyDepth) {
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  std::map<std::string, FoundRecord> tree = engine.WalkTree();
  ASSERT_TRUE(tree.count("Tree Folder/Sub Folder/"));
  for (const char* destination : {"a", "a/b/c/d/e"}) {
    std::string root = dir / destination;
    std::string target = root + "/Sub";
    ASSERT_EQ(engine->RecoverItem(&tree["Tree Folder/Sub Folder/"], target,
                                  static_cast<int32_t>(std::count(root.begin(), root.end(), '/'))),
              0);
    EXPECT_TRUE(test::ReadFile(target + "/nested long name.dat") == files[6].content)
        << destination;
    EXPECT_TRUE(test::ReadFile(target + "/!eep/!ata1.bin") == files[7].content) << destination;
    EXPECT_TRUE(test::ReadFile(target + "/!eep/!ero.bin").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, FatScenario, ::testing::Values(12, 16, 32),
                         [](const auto& info) { return "Fat" + std::to_string(info.param); });

}  // namespace
}  // namespace salvora
