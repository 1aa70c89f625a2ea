#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

#include "fat/FatDeepFixture.h"
#include "results/RecoveryNames.h"

namespace salvora::test {
namespace {

// Files of the old volume in the order they are written, by path below the
// root. "docs" gets the five chapters first: after its "." and ".." entries
// each takes three slots, so the fifth name's long-name parts end the
// directory's first sector and its short entry starts the second one.
std::vector<std::pair<std::string, std::string>> OldFiles() {
  std::vector<std::pair<std::string, std::string>> files;
  for (int i = 1; i <= 5; ++i)
    files.push_back(
        {"docs/Chapter " + std::to_string(i) + " draft.txt", PseudoRandomBytes(900 + i, 10 + i)});
  files.push_back({"docs/REPORT.TXT", PseudoRandomBytes(6000, 1)});
  files.push_back({"docs/sub/photo.bin", PseudoRandomBytes(20000, 2)});
  files.push_back({"docs/sub/deeper/notes.txt", PseudoRandomBytes(100, 3)});
  files.push_back({"music/song.dat", PseudoRandomBytes(9000, 4)});
  files.push_back({"root.txt", PseudoRandomBytes(700, 5)});
  return files;
}

// A FAT32 volume of 80 MiB with 1 KiB clusters holding OldFiles().
void MakeOldVolume(DeepFatHarness& h, const std::string& image) {
  MustRun("mkfs.fat -F 32 -s 2 -i 1234abcd -C " + Quote(image) + " 81920 >/dev/null");
  MustRun("mmd -i " + Quote(image) + " ::/docs");
  int n = 0;
  for (const auto& [path, content] : OldFiles()) {
    if (path == "docs/sub/photo.bin") {
      for (const char* folder : {"docs/sub", "docs/sub/deeper", "music"})
        MustRun("mmd -i " + Quote(image) + " ::/" + folder);
    }
    std::string source = h.dir / ("src" + std::to_string(++n));
    WriteFile(source, content);
    MustRun("mcopy -i " + Quote(image) + " " + Quote(source) + " " + Quote("::/" + path));
  }
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The path below the first folder ("LostFolder7/sub/a" -> "sub/a").
std::string BelowTop(const std::string& path) {
  size_t slash = path.find('/');
  return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

// Every old file under its old path, byte-exact.
void ExpectEveryOldFileWhereItWas(DeepFatHarness& h) {
  auto tree = h.Tree();
  for (const auto& [original, content] : OldFiles()) {
    std::string path = original == "docs/REPORT.TXT" ? "docs/report.txt" : original;
    ASSERT_TRUE(tree.count(path)) << path;
    std::string out = h.dir / "out";
    std::remove(out.c_str());
    ASSERT_EQ(h.engine.RecoverItem(&tree[path], out, 0), 0) << path;
    EXPECT_TRUE(ReadFile(out) == content) << path;
  }
}

bool HaveFatTools() { return HaveCommand("mkfs.fat") && HaveCommand("mcopy"); }

// A quick format writes a new boot sector, new FATs and an empty root over
// the old ones; the old subdirectories and file data stay where they were.
TEST(FatDeepEndToEndTest, ReformattedVolumeGivesBackItsFoldersAndFiles) {
  if (!HaveFatTools()) GTEST_SKIP() << "needs dosfstools and mtools";
  DeepFatHarness h;
  std::string image = h.dir / "old.img";
  MakeOldVolume(h, image);
  MustRun("mkfs.fat -F 32 -s 2 -i 99990000 " + Quote(image) + " >/dev/null");
  h.Sweep(ReadFile(image));
  auto tree = h.Tree();

  // The root's entries are gone: "docs" and "music" are lost folders under
  // the root, everything below them keeps its name.
  std::set<std::string> tops;
  std::map<std::string, std::string> below;
  for (const auto& [path, record] : tree) {
    if (path.find('/') == std::string::npos)
      tops.insert(path);
    else
      below[BelowTop(path)] = path;
  }
  ASSERT_EQ(tops.size(), 2u);
  for (const std::string& top : tops) EXPECT_EQ(top.rfind("LostFolder", 0), 0u) << top;

  int checked = 0;
  for (const auto& [path, content] : OldFiles()) {
    if (path == "root.txt") continue;  // its entry lived in the overwritten root
    std::string rest = Lower(BelowTop(path)) == "report.txt" ? "report.txt" : BelowTop(path);
    ASSERT_TRUE(below.count(rest)) << rest;
    const FoundRecord& record = tree[below[rest]];
    EXPECT_EQ(+record.fileSize, content.size());
    std::string out = h.dir / ("out" + std::to_string(++checked));
    ASSERT_EQ(h.engine.RecoverItem(&record, out, 0), 0) << rest;
    std::string original = h.dir / ("orig" + std::to_string(checked));
    WriteFile(original, content);
    EXPECT_EQ(FileSha256(out), FileSha256(original)) << rest;
  }
  EXPECT_EQ(checked, 9);
  EXPECT_TRUE(below.count("sub/deeper"));

  // A lost folder is recovered with its whole subtree.
  std::string docs = below["report.txt"].substr(0, below["report.txt"].find('/'));
  std::string copy = h.dir / "copy";
  ASSERT_EQ(h.engine.RecoverItem(&tree[docs], copy, PathDepth(copy)), 0);
  EXPECT_TRUE(ReadFile(copy + "/sub/deeper/notes.txt") == OldFiles()[7].second);
}

// Without a boot sector the volume is inferred from the subdirectories'
// "." entries; the root, met before any of them, is placed at the end.
TEST(FatDeepEndToEndTest, VolumeWithoutBootSectorOrFatIsInferred) {
  if (!HaveFatTools()) GTEST_SKIP() << "needs dosfstools and mtools";
  DeepFatHarness h;
  std::string image = h.dir / "old.img";
  MakeOldVolume(h, image);
  std::string bytes = ReadFile(image);
  // Boot sector, FSInfo, backup and both FATs: everything before the root.
  uint32_t reserved = static_cast<uint8_t>(bytes[14]) | static_cast<uint8_t>(bytes[15]) << 8;
  uint32_t fatSectors = 0;
  for (int i = 3; i >= 0; --i) fatSectors = fatSectors << 8 | static_cast<uint8_t>(bytes[36 + i]);
  size_t dataStart = (reserved + 2 * fatSectors) * kSector;
  std::fill(bytes.begin(), bytes.begin() + dataStart, '\0');
  h.Sweep(bytes);
  ExpectEveryOldFileWhereItWas(h);
}

// Formatted again with larger clusters: the new FATs are smaller, so the old
// root survives, and the new boot sector describes none of the old
// directories, although some of their sectors line up with its clusters.
TEST(FatDeepEndToEndTest, ReformatWithOtherClusterSizeKeepsTheOldTree) {
  if (!HaveFatTools()) GTEST_SKIP() << "needs dosfstools and mtools";
  DeepFatHarness h;
  std::string image = h.dir / "old.img";
  MakeOldVolume(h, image);
  MustRun("mkfs.fat -F 32 -s 4 -i 99990000 " + Quote(image) + " >/dev/null 2>&1");
  h.Sweep(ReadFile(image));
  ExpectEveryOldFileWhereItWas(h);
}

}  // namespace
}  // namespace salvora::test
