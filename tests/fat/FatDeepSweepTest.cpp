#include <gtest/gtest.h>

#include <memory>

#include "fat/FatDeepFixture.h"
#include "platform/MemoryFile.h"

namespace salvora::test {
namespace {

// Two directories of a volume with 8-sector clusters whose cluster 2 lies
// at sector 2026 and whose boot sector is gone: cluster 6 at 2058 holds
// files and subfolder "sub" (cluster 10, at 2090).
SectorImage TwoDirectoryVolume() {
  SectorImage image(2400);
  image.Put(2058, SectorOf(DotEntries(6, 0) + FileEntry("REPORT  TXT", 20, 100) +
                           LongEntries("Quarterly numbers.txt", "QUARTE~1TXT") +
                           FileEntry("QUARTE~1TXT", 21, 700) + FileEntry("\xE5OLD    TXT", 22, 10) +
                           ShortEntry("NOARCH  TXT", kAttrReadOnly, 23, 10) +
                           FolderEntry("SUB        ", 10)));
  image.Put(2090, SectorOf(DotEntries(10, 6) + FileEntry("INNER   BIN", 30, 5000) +
                           LongEntries("bad/name\x01.txt", "BADNAM~1TXT") +
                           FileEntry("BADNAM~1TXT", 31, 10)));
  return image;
}

// `count` files "<prefix>NN.DAT" from cluster `firstCluster` on.
std::string NumberedFiles(const char* prefix, int count, uint32_t firstCluster) {
  std::string entries;
  for (int i = 0; i < count; ++i) {
    char name[12];
    std::snprintf(name, sizeof name, "%s%02d  DAT", prefix, i);
    entries += FileEntry(name, firstCluster + i, 10);
  }
  return entries;
}

TEST(FatDeepSweepTest, FilesMetBeforeTheirVolumeArePlacedOnceItIsInferred) {
  DeepFatHarness h;
  h.Sweep(TwoDirectoryVolume().bytes());
  auto tree = h.Tree();
  ASSERT_TRUE(tree.count("LostFolder6/report.txt"));
  // A deleted entry's lost first byte is shown as '!'.
  ExpectListed(tree, {"LostFolder6/Quarterly numbers.txt", "LostFolder6/!old.txt",
                      "LostFolder6/sub/inner.bin"});
  EXPECT_TRUE(tree.count("LostFolder6/noarch.txt"));         // no archive bit: still a file
  EXPECT_TRUE(tree.count("LostFolder6/sub/bad_name_.txt"));  // no separator from disk
  EXPECT_EQ(tree.size(), 8u);

  const FoundRecord& report = tree["LostFolder6/report.txt"];
  EXPECT_EQ(+report.engineKind, kDeepFat);
  EXPECT_EQ(+report.sourceTag, 'Z');
  EXPECT_EQ(+report.firstCluster, 20u);
  EXPECT_EQ(+report.clusterBytes, 8u * 512);
  EXPECT_EQ(+report.dataAreaSector, 2026u);
  EXPECT_EQ(+report.entrySector, 2058u);
  EXPECT_EQ(+report.fileSize, 100u);
  EXPECT_NE(+report.writeTime, 0u);
  const FoundRecord& sub = tree["LostFolder6/sub"];
  EXPECT_EQ(+sub.isFolder, 1u);
  EXPECT_EQ(+sub.firstCluster, 10u);
}

// The composite hands over the sectors after a directory's first sector one
// by one; a long name whose parts end one sector and whose short entry
// starts the next belongs to that short entry.
TEST(FatDeepSweepTest, LongNamesCutAtASectorEndAreJoined) {
  SectorImage image = TwoDirectoryVolume();
  std::string first = DotEntries(10, 6) + NumberedFiles("FILE", 12, 40) +
                      LongEntries("a name cut in two.txt", "ANAMEC~1TXT");  // slots 14, 15
  ASSERT_EQ(first.size(), 512u);
  image.Put(2090, first);
  std::string deleted = LongEntries("gone but named.txt", "GONEBU~1TXT");
  for (char* c : {&deleted[0], &deleted[32]}) *c = static_cast<char>(0xE5);
  image.Put(2091, SectorOf(FileEntry("ANAMEC~1TXT", 60, 10) + FileEntry("PLAIN   TXT", 61, 10)));
  // A deleted name cut at the end of 2092 continues with the deleted short
  // entry at the start of 2093.
  image.Put(2092, NumberedFiles("MORE", 14, 70) + deleted);
  image.Put(2093, SectorOf(FileEntry("\xE5ONEBU~1TXT", 90, 10)));

  DeepFatHarness h;
  h.Sweep(image.bytes());
  auto tree = h.Tree();
  ExpectListed(tree, {"LostFolder6/sub/a name cut in two.txt", "LostFolder6/sub/plain.txt",
                      "LostFolder6/sub/file11.dat", "LostFolder6/sub/more13.dat",
                      "LostFolder6/sub/gone but named.txt"});
  EXPECT_FALSE(tree.count("LostFolder6/sub/anamec~1.txt"));
}

// A directory head that cannot be read ends the walks that need it; the
// files below it are still listed, under the root.
TEST(FatDeepSweepTest, UnreadableDirectoryHeadsEndOnlyTheirProbe) {
  SectorImage image = TwoDirectoryVolume();
  DeepFatHarness h;
  auto file = std::make_unique<MemoryFile>(image.bytes());
  file->FailSector(2090);  // the head of "sub"
  h.engine.Source().Attach(std::move(file), image.bytes().size() / kSector);
  ASSERT_EQ(h.engine.OpenResults(nullptr), 0);
  FeedSectors(h.engine, image.bytes());
  ASSERT_EQ(h.engine.FinishFolders(), 0);
  auto tree = h.Tree();
  EXPECT_EQ(h.engine.GetRecordCount(), 8u);  // the file without archive bit too
  EXPECT_TRUE(tree.count("LostFolder6/report.txt"));
  EXPECT_TRUE(tree.count("LostFolder6/sub"));
  EXPECT_TRUE(tree.count("inner.bin"));
}

// A cut inside a cluster can only go on in the next sector; when that
// sector holds no entries, a later sector of another directory whose first
// entry happens to carry the same checksum must not take the long name.
TEST(FatDeepSweepTest, ACutThatWasNotContinuedIsNotJoinedFarAway) {
  SectorImage image = TwoDirectoryVolume();
  image.Put(2090, DotEntries(10, 6) + NumberedFiles("FILE", 12, 40) +
                      LongEntries("a name cut in two.txt", "ANAMEC~1TXT"));
  image.Put(2106, SectorOf(DotEntries(12, 6) + FileEntry("FIRST   TXT", 80, 10)));
  image.Put(2107, SectorOf(FileEntry("ANAMEC~1TXT", 81, 10)));
  DeepFatHarness h;
  h.Sweep(image.bytes());
  auto tree = h.Tree();
  ExpectListed(tree,
               {"LostFolder6/LostFolder12/anamec~1.txt", "LostFolder6/LostFolder12/first.txt"});
  EXPECT_FALSE(tree.count("LostFolder6/sub/a name cut in two.txt"));
}

// A FAT16 boot sector made by the real tool, with files in its fixed root
// directory and in a subfolder; with a 224-entry root (14 sectors) cluster 2
// must still be where the boot sector puts it.
struct BootVolumeCase {
  const char* label;
  const char* options;
  const char* kibibytes;
};
class FatDeepBootVolumeTest : public ::testing::TestWithParam<BootVolumeCase> {};

TEST_P(FatDeepBootVolumeTest, BootVolumePlacesRootAndDataExactly) {
  if (!HaveCommand("mkfs.fat") || !HaveCommand("mcopy"))
    GTEST_SKIP() << "needs dosfstools and mtools";
  DeepFatHarness h;
  std::string image = h.dir / "fat.img";
  std::string content = PseudoRandomBytes(3000, 7);
  WriteFile(h.dir / "data.bin", content);
  MustRun(std::string("mkfs.fat ") + GetParam().options + " -i 1234abcd -C " + Quote(image) + " " +
          GetParam().kibibytes + " >/dev/null");
  MustRun("mmd -i " + Quote(image) + " ::/folder");
  MustRun("mcopy -i " + Quote(image) + " " + Quote(h.dir / "data.bin") + " ::/DATA.BIN");
  MustRun("mcopy -i " + Quote(image) + " " + Quote(h.dir / "data.bin") + " ::/folder/INNER.BIN");
  h.Sweep(ReadFile(image));
  auto tree = h.Tree();
  ASSERT_TRUE(tree.count("data.bin"));
  ASSERT_TRUE(tree.count("folder/inner.bin"));
  for (const char* path : {"data.bin", "folder/inner.bin"}) {
    std::string out = h.dir / (std::string("out-") + (path[0] == 'd' ? "a" : "b"));
    ASSERT_EQ(h.engine.RecoverItem(&tree[path], out, 0), 0);
    EXPECT_EQ(ReadFile(out), content) << path;
  }
}

INSTANTIATE_TEST_SUITE_P(Roots, FatDeepBootVolumeTest,
                         ::testing::Values(BootVolumeCase{"Fat16", "-F 16 -s 4 -r 512", "16384"},
                                           BootVolumeCase{"Fat12Root224", "-F 12 -s 2 -r 224",
                                                          "2048"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(FatDeepSweepTest, ParentLinksThatFormACycleEnd) {
  SectorImage image(2400);
  image.Put(2058, SectorOf(DotEntries(6, 10) + FileEntry("A       TXT", 20, 1)));
  image.Put(2090, SectorOf(DotEntries(10, 6) + FileEntry("B       TXT", 21, 1)));
  DeepFatHarness h;
  h.Sweep(image.bytes());
  EXPECT_EQ(h.engine.GetRecordCount(), 4u);  // two files and their two lost folders
}

TEST(FatDeepSweepTest, DirectorySectorsWithoutAnyVolumeProduceNothing) {
  SectorImage image(100);
  image.Put(40, SectorOf(DotEntries(6, 0) + FileEntry("A       TXT", 20, 1)));
  image.Put(50, SectorOf(FileEntry("B       TXT", 21, 1)));
  DeepFatHarness h;
  h.Sweep(image.bytes());
  EXPECT_EQ(h.engine.GetRecordCount(), 0u);
}

}  // namespace
}  // namespace salvora::test
