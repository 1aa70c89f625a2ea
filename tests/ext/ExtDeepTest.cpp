#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cli/ExitCodes.h"
#include "ext/ExtScenario.h"
#include "support/CarvingFixtures.h"

namespace salvora {
namespace {

using test::Quote;

// A volume in use, with folders three deep, two pictures carving knows,
// files across many blocks and, made first, a hashed folder of 300 files, every file's SHA-256
// noted before anything happens to the volume.
class ExtDeep : public ::testing::Test {
 protected:
  void SetUp() override { Make("mkfs.ext4 -q -F"); }
  void Make(const std::string& mkfs) {
    test::WriteFile(dir_ / "a.png", test::PngOf(120000));
    test::WriteFile(dir_ / "b.png", test::PngOf(90000));
    test::ExtScenarioPlan plan;
    plan.mkfs = mkfs;
    plan.populate =
        "mkdir bulk; mkdir -p docs/letters/old photos/2026 music; cp " + Quote(dir_ / "a.png") +
        " photos/2026/beach.png; cp " + Quote(dir_ / "b.png") +
        " photos/dog.png\n"
        "for i in $(seq 1 14); do head -c $((i * 6011)) /dev/urandom > docs/letters/l$i.odt; done\n"
        "for i in 1 2 3; do head -c $((i * 90001)) /dev/urandom > docs/letters/old/o$i.txt; done\n"
        "head -c 700000 /dev/urandom > music/song.flac; echo hello > readme.txt\n"
        "for i in $(seq 1 300); do echo $i > bulk/a-rather-long-entry-name-$i.txt; done\n"
        "find . -path ./lost+found -prune -o -type f -exec sha256sum {} + > " +
        Quote(dir_ / "all-sums");
    scenario_ = test::MakeExtScenario(dir_, plan);
    if (!scenario_.skipReason.empty()) return;
    std::istringstream lines(test::ReadFile(dir_ / "all-sums"));
    // "<64 hex digits>  ./<path>"
    for (std::string line; std::getline(lines, line);)
      if (line.size() > 68) sums_[line.substr(68)] = line.substr(0, 64);
  }

  // Recovers what a deep scan finds into dir/out, keeping paths; the map
  // from each recovered file's path to its SHA-256.
  std::map<std::string, std::string> RecoverDeep(int expectedExit, std::string& output) {
    std::string out = dir_ / "out";
    EXPECT_EQ(
        test::RunSalvora(
            data_, "recover --deep --keep-paths --to " + Quote(out) + " " + Quote(scenario_.image),
            &output),
        expectedExit)
        << output;
    std::map<std::string, std::string> found;
    if (!std::filesystem::exists(out)) return found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out))
      if (entry.is_regular_file())
        found[entry.path().lexically_relative(out).generic_string()] =
            test::FileSha256(entry.path());
    return found;
  }

  // Zeroes the first MiB: superblock, group descriptors and the first
  // inode table.
  void ZeroTheStart() {
    test::MustRun("dd if=/dev/zero of=" + Quote(scenario_.image) +
                  " bs=1024 count=1024 conv=notrunc status=none");
  }

  void ExpectEveryFileBackAtItsPath() {
    std::string output;
    std::map<std::string, std::string> found = RecoverDeep(kExitOk, output);
    for (const auto& [path, hash] : sums_) EXPECT_EQ(found[path], hash) << path << "\n" << output;
  }

  // The recovered path holding `hash` whose path ends with `tail`.
  static std::string FindBack(const std::map<std::string, std::string>& found,
                              const std::string& hash, const std::string& tail) {
    for (const auto& [path, sum] : found)
      if (sum == hash && (tail.empty() || path == tail || path.ends_with("/" + tail))) return path;
    return {};
  }

  static std::string WithoutTopFolder(const std::string& path) {
    size_t slash = path.find('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }

  test::TempDir dir_;
  test::TempDir data_;
  test::ExtScenario scenario_;
  std::map<std::string, std::string> sums_;
};

// Formatted again with the same tool: the new root covers the old one, so
// the top folders' own names are gone, but every file comes back byte-exact
// by its name, below every folder whose entry survived, and carving does
// not list the pictures a second time.
TEST_F(ExtDeep, ReformattedVolumeGivesFilesBackByName) {
  if (!scenario_.skipReason.empty()) GTEST_SKIP() << scenario_.skipReason;
  ASSERT_EQ(sums_.size(), 321u);
  test::MustRun("mkfs.ext4 -q -F -E nodiscard " + Quote(scenario_.image));
  std::string output;
  std::map<std::string, std::string> found = RecoverDeep(kExitOk, output);
  size_t byName = 0;
  for (const auto& [path, hash] : sums_) {
    // A file at the top had its entry in the old root: it is back by content.
    if (path.find('/') == std::string::npos) {
      EXPECT_FALSE(FindBack(found, hash, std::string()).empty()) << path << "\n" << output;
      continue;
    }
    std::string back = FindBack(found, hash, WithoutTopFolder(path));
    EXPECT_FALSE(back.empty()) << path << "\n" << output;
    byName += !back.empty();
  }
  EXPECT_EQ(byName, sums_.size() - 1);
  // The hashed folder's first inode was written over; its blocks, tied to
  // it by their checksums, still hold its files together.
  std::set<std::string> bulkFolders;
  for (const auto& [path, hash] : sums_)
    if (path.starts_with("bulk/")) {
      std::string back = FindBack(found, hash, WithoutTopFolder(path));
      bulkFolders.insert(back.substr(0, back.rfind('/')));
    }
  EXPECT_EQ(bulkFolders.size(), 1u);
  EXPECT_FALSE(bulkFolders.count("LostFiles"));
  std::string listing;
  ASSERT_EQ(
      test::RunSalvora(data_, "scan --deep --fresh --json " + Quote(scenario_.image), &listing),
      kExitOk);
  EXPECT_NE(listing.find("\"engine\":\"deep-ext\""), std::string::npos) << listing;
  EXPECT_EQ(listing.find("\"engine\":\"carved\""), std::string::npos) << listing;
}

// The first MiB zeroed (superblock, descriptors and the first inode table):
// the volume is still known as ext, and read through a backup superblock
// and the journal's copies every file comes back at its full path.
TEST_F(ExtDeep, ZeroedStartIsReadThroughBackupsAndJournal) {
  if (!scenario_.skipReason.empty()) GTEST_SKIP() << scenario_.skipReason;
  ZeroTheStart();
  std::string info;
  EXPECT_EQ(test::RunSalvora(data_, "info " + Quote(scenario_.image), &info), kExitOk);
  EXPECT_NE(info.find("class:        ext"), std::string::npos) << info;
  ExpectEveryFileBackAtItsPath();
}

// Formatted over with another file system: the old bitmaps cannot say what
// it has taken since, so no file is rebuilt from the ext volume's remains.
TEST_F(ExtDeep, NothingIsRebuiltUnderAnotherFileSystem) {
  if (!scenario_.skipReason.empty()) GTEST_SKIP() << scenario_.skipReason;
  if (!test::HaveCommand("mkfs.fat")) GTEST_SKIP() << "mkfs.fat (dosfstools) is not installed";
  test::MustRun("mkfs.fat -F 32 " + Quote(scenario_.image) + " >/dev/null");
  std::string listing;
  ASSERT_EQ(test::RunSalvora(data_, "scan --deep --json " + Quote(scenario_.image), &listing),
            kExitOk);
  EXPECT_EQ(listing.find("\"engine\":\"deep-ext\""), std::string::npos) << listing;
}

// The same without metadata checksums (nor group checksums): zeroed group
// descriptors and a zeroed journal inode parse as well as real ones, and
// must not be taken for them.
class ExtDeepWithoutChecksums : public ExtDeep {
 protected:
  void SetUp() override { Make("mkfs.ext4 -q -F -O ^metadata_csum"); }
};

TEST_F(ExtDeepWithoutChecksums, ZeroedStartIsReadThroughBackupsAndJournal) {
  if (!scenario_.skipReason.empty()) GTEST_SKIP() << scenario_.skipReason;
  ZeroTheStart();
  ExpectEveryFileBackAtItsPath();
}

// After the reformat the new volume took some of an old file's blocks and
// wrote over them: that file is reported damaged, never passed as whole;
// the others are whole.
TEST_F(ExtDeep, BlocksTakenSinceTheReformatMakeFilesDamaged) {
  if (!scenario_.skipReason.empty()) GTEST_SKIP() << scenario_.skipReason;
  if (!test::HaveCommand("debugfs")) GTEST_SKIP() << "debugfs (e2fsprogs) is not installed";
  std::string image = Quote(scenario_.image);
  // The new volume's bitmap marks the blocks used (its group's bitmap made
  // real first: a fresh group has none on the disk), and they are written.
  test::MustRun("field() { dumpe2fs -h " + image + " 2>/dev/null | sed -n \"s/^$1: *//p\"; }; " +
                "bs=$(field 'Block size'); bpg=$(field 'Blocks per group'); " +
                "first=$(field 'First block'); set -- $(debugfs -R 'blocks /music/song.flac' " +
                image + " 2>/dev/null); mkfs.ext4 -q -F -E nodiscard " + image +
                "; for b in $2 $3 $4; do g=$(( (b - first) / bpg )); printf 'set_bg %s flags 1\\n"
                "setb %s\\nset_bg %s checksum calc\\n' $g $b $g > " +
                Quote(dir_ / "cmds") + "; debugfs -w -f " + Quote(dir_ / "cmds") + " " + image +
                " >/dev/null 2>&1; dd if=/dev/urandom of=" + image +
                " bs=$bs seek=$b count=1 conv=notrunc status=none; done");
  std::string output;
  std::map<std::string, std::string> found = RecoverDeep(kExitSomeFailed, output);
  EXPECT_NE(output.find("song.flac"), std::string::npos) << output;
  for (const auto& [path, hash] : sums_) {
    if (path == "music/song.flac" || path.find('/') == std::string::npos) continue;
    EXPECT_FALSE(FindBack(found, hash, WithoutTopFolder(path)).empty()) << path << "\n" << output;
  }
  EXPECT_TRUE(FindBack(found, sums_.at("music/song.flac"), std::string()).empty()) << output;
}

}  // namespace
}  // namespace salvora
