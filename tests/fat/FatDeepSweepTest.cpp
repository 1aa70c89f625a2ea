#include <gtest/gtest.h>

#include "fat/FatDeepFixture.h"

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
  image.Put(2090, SectorOf(DotEntries(10, 6) + FileEntry("INNER   BIN", 30, 5000)));
  return image;
}

TEST(FatDeepSweepTest, FilesMetBeforeTheirVolumeArePlacedOnceItIsInferred) {
  DeepFatHarness h;
  h.Sweep(TwoDirectoryVolume().bytes());
  auto tree = h.Tree();
  ASSERT_TRUE(tree.count("LostFolder6/report.txt"));
  EXPECT_TRUE(tree.count("LostFolder6/Quarterly numbers.txt"));
  EXPECT_TRUE(tree.count("LostFolder6/!old.txt"));  // deleted: first byte shown as '!'
  EXPECT_TRUE(tree.count("LostFolder6/sub/inner.bin"));
  EXPECT_FALSE(tree.count("LostFolder6/noarch.txt"));  // no archive bit: not a file
  EXPECT_EQ(tree.size(), 6u);

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
  std::string first = DotEntries(10, 6);
  for (int i = 0; i < 12; ++i) {
    char name[12];
    std::snprintf(name, sizeof name, "FILE%02d  DAT", i);
    first += FileEntry(name, 40 + i, 10);
  }
  first += LongEntries("a name cut in two.txt", "ANAMEC~1TXT");  // two parts: slots 14, 15
  ASSERT_EQ(first.size(), 512u);
  image.Put(2090, first);
  std::string deleted = LongEntries("gone but named.txt", "GONEBU~1TXT");
  for (char* c : {&deleted[0], &deleted[32]}) *c = static_cast<char>(0xE5);
  image.Put(2091, SectorOf(FileEntry("ANAMEC~1TXT", 60, 10) + FileEntry("PLAIN   TXT", 61, 10)));
  // A deleted name cut at the end of 2092 continues with the deleted short
  // entry at the start of 2093.
  std::string third;
  for (int i = 0; i < 14; ++i) {
    char name[12];
    std::snprintf(name, sizeof name, "MORE%02d  DAT", i);
    third += FileEntry(name, 70 + i, 10);
  }
  image.Put(2092, third + deleted);
  image.Put(2093, SectorOf(FileEntry("\xE5ONEBU~1TXT", 90, 10)));

  DeepFatHarness h;
  h.Sweep(image.bytes());
  auto tree = h.Tree();
  EXPECT_TRUE(tree.count("LostFolder6/sub/a name cut in two.txt"));
  EXPECT_TRUE(tree.count("LostFolder6/sub/plain.txt"));
  EXPECT_TRUE(tree.count("LostFolder6/sub/file11.dat"));
  EXPECT_TRUE(tree.count("LostFolder6/sub/more13.dat"));
  EXPECT_TRUE(tree.count("LostFolder6/sub/gone but named.txt"));
  EXPECT_FALSE(tree.count("LostFolder6/sub/anamec~1.txt"));
}

// A FAT16 boot sector made by the real tool, with files in its fixed root
// directory and in a subfolder; with a 224-entry root (14 sectors) cluster 2
// must still be where the boot sector puts it.
struct BootVolumeCase {
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
                         ::testing::Values(BootVolumeCase{"-F 16 -s 4 -r 512", "16384"},
                                           BootVolumeCase{"-F 12 -s 2 -r 224", "2048"}));

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
