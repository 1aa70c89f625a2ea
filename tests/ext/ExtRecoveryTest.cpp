#include <gtest/gtest.h>

#include <filesystem>

#include "cli/ExitCodes.h"
#include "ext/ExtScenario.h"

namespace salvora {
namespace {

using test::ExtScenario;
using test::ExtScenarioPlan;
using test::Quote;

// Files of varied sizes (empty, one byte, across many blocks) in a tree.
constexpr char kTree[] = R"sh(
mkdir -p home/anna/photos home/anna/letters "home/bert/Übung mit Leerzeichen" keep
for i in $(seq 1 12); do head -c $((i * 7919 + i * i)) /dev/urandom > home/anna/photos/img$i.jpg; done
for i in 1 2 3; do head -c $((i * 250000)) /dev/urandom > home/anna/letters/letter$i.odt; done
: > home/anna/letters/empty.txt
printf x > home/anna/letters/one.txt
echo "notes" > "home/bert/Übung mit Leerzeichen/notiz.txt"
head -c 3000000 /dev/urandom > home/bert/video.part; sync; mv home/bert/video.part home/bert/video.mp4
head -c 100000 /dev/urandom > keep/live.bin
ln -s ../../keep/live.bin "home/bert/Übung mit Leerzeichen/short link"
ln -s "../../keep/$(printf 'a%.0s' $(seq 1 100))" "home/bert/Übung mit Leerzeichen/long link"
)sh";

// New files written after the deletion, as on a home folder in use.
constexpr char kLaterWrites[] =
    "for i in 1 2 3 4 5; do head -c 40000 /dev/urandom > keep/later$i; done";

class ExtRecovery : public ::testing::Test {
 protected:
  ExtScenario Make(const test::TempDir& dir, const ExtScenarioPlan& plan) {
    return test::MakeExtScenario(dir, plan);
  }
  // Recovers everything the quick scan lists into dir/out, keeping paths.
  int Recover(const test::TempDir& dir, const ExtScenario& scenario, std::string* output) {
    return test::RunSalvora(data_, "recover --quick --keep-paths --to " + Quote(dir / "out") +
                                       " " + Quote(scenario.image),
                            output);
  }
  void ExpectBack(const test::TempDir& dir, const ExtScenario& scenario) {
    ASSERT_FALSE(scenario.deleted.empty());
    for (const auto& [path, hash] : scenario.deleted)
      EXPECT_EQ(test::FileSha256(dir / ("out/" + path)), hash) << path;
  }
  void ExpectTreeBack(const std::string& mkfs, bool removeWithDebugfs = false) {
    SCOPED_TRACE(mkfs);
    test::TempDir dir;
    ExtScenarioPlan plan;
    plan.mkfs = mkfs;
    plan.populate = kTree;
    plan.deleted = {"home/anna/photos/img3.jpg", "home/anna/photos/img7.jpg", "home/anna/letters",
                    "home/bert/video.mp4", "home/bert/Übung mit Leerzeichen"};
    if (removeWithDebugfs)
      plan.deleted = {"home/anna/photos/img3.jpg", "home/anna/photos/img7.jpg",
                      "home/anna/letters/letter2.odt", "home/bert/video.mp4",
                      "home/bert/Übung mit Leerzeichen/notiz.txt"};
    plan.removeWithDebugfs = removeWithDebugfs;
    ExtScenario scenario = Make(dir, plan);
    if (!scenario.skipReason.empty()) GTEST_SKIP() << scenario.skipReason;
    std::string output;
    EXPECT_EQ(Recover(dir, scenario, &output), kExitOk) << output;
    ExpectBack(dir, scenario);
    // Symlinks come back as the text of their target, never followed.
    if (!removeWithDebugfs) {
      EXPECT_EQ(test::ReadFile(dir / "out/home/bert/Übung mit Leerzeichen/short link"),
                "../../keep/live.bin");
      EXPECT_EQ(test::ReadFile(dir / "out/home/bert/Übung mit Leerzeichen/long link"),
                "../../keep/" + std::string(100, 'a'));
    }
    // Live files are not found files.
    EXPECT_FALSE(std::filesystem::exists(dir / "out/keep/live.bin")) << output;
    EXPECT_FALSE(std::filesystem::exists(dir / "out/home/anna/photos/img1.jpg")) << output;
    // Renamed before it was deleted: listed once, by its last name.
    EXPECT_FALSE(std::filesystem::exists(dir / "out/home/bert/video.part")) << output;
  }

  test::TempDir data_;
};

TEST_F(ExtRecovery, Ext4WithDebianDefaultsGivesBackFilesAndRemovedFolders) {
  ExpectTreeBack("mkfs.ext4 -q -F");
}

// New files may take the blocks of deleted ones: each deleted file comes
// back byte-exact or is reported as failed, never passed as whole.
TEST_F(ExtRecovery, FilesWrittenAfterTheDeletionLeaveTheRestExact) {
  test::TempDir dir;
  ExtScenarioPlan plan;
  plan.populate = kTree;
  plan.deleted = {"home/anna/photos", "home/anna/letters", "home/bert/video.mp4"};
  plan.afterDeletion = kLaterWrites;
  ExtScenario scenario = Make(dir, plan);
  if (!scenario.skipReason.empty()) GTEST_SKIP() << scenario.skipReason;
  std::string output;
  Recover(dir, scenario, &output);
  size_t exact = 0;
  for (const auto& [path, hash] : scenario.deleted) {
    std::string copy = dir / ("out/" + path);
    bool reported = output.find("failed: " + copy + ":") != std::string::npos;
    if (test::FileSha256(copy) == hash)
      ++exact;
    else
      EXPECT_TRUE(reported) << path << "\n" << output;
  }
  EXPECT_GT(exact, scenario.deleted.size() / 2) << output;
}

TEST_F(ExtRecovery, Ext4VariantsGiveBackTheSameTree) {
  ExpectTreeBack("mkfs.ext4 -q -F -b 1024");
  ExpectTreeBack("mkfs.ext4 -q -F -O ^metadata_csum,^64bit");
  ExpectTreeBack("mkfs.ext4 -q -F -I 128 -O ^flex_bg");
}

TEST_F(ExtRecovery, Ext3AndExt2GiveBackTheSameTree) {
  ExpectTreeBack("mkfs.ext3 -q -F");
  // Without a journal only a deletion that leaves the entries and maps in
  // place can be undone.
  ExpectTreeBack("mkfs.ext2 -q -F", true);
  ExpectTreeBack("mkfs.ext2 -q -F -b 1024", true);
}

// A file written into the gaps other files left, and one written in pieces
// far apart so that its extents need index blocks two levels deep; the
// gaps between its pieces read back as zeros.
TEST_F(ExtRecovery, FragmentedAndSparseFilesWithDeepExtentTrees) {
  test::TempDir dir;
  ExtScenarioPlan plan;
  plan.populate = R"sh(
mkdir frag
for i in $(seq 1 300); do head -c 8192 /dev/urandom > frag/f$i; done
sync; for i in $(seq 1 2 300); do rm frag/f$i; done; sync
for i in $(seq 1 2 300); do : > frag/empty$i; done
head -c 1000000 /dev/urandom > frag/scattered.bin
python3 -c "
import os
fd = os.open('sparse.bin', os.O_WRONLY | os.O_CREAT)
for i in range(1500):
    os.pwrite(fd, os.urandom(4096), i * 12288)
os.pwrite(fd, b'end', 40000000)
os.close(fd)"
)sh";
  plan.megabytes = 128;
  plan.deleted = {"frag/scattered.bin", "sparse.bin"};
  ExtScenario scenario = Make(dir, plan);
  if (!scenario.skipReason.empty()) GTEST_SKIP() << scenario.skipReason;
  std::string output;
  // Empty files take the inode numbers the deleted ones left, so these two
  // own theirs alone while their blocks fill the holes between live files.
  Recover(dir, scenario, &output);
  ExpectBack(dir, scenario);
}

// Thousands of entries make a hashed directory; the deleted ones come back
// from its leaf blocks whatever block a split moved them to.
TEST_F(ExtRecovery, HashedDirectoryWithThousandsOfEntries) {
  test::TempDir dir;
  ExtScenarioPlan plan;
  plan.populate = R"(
mkdir big
for i in $(seq 1 4000); do echo "entry $i with a longer name" > "big/a rather long file name number $i.txt"; done
)";
  plan.kernelOnly = "debugfs clears the inode number of an entry that starts a block";
  for (int i = 7; i <= 4000; i += 97)
    plan.deleted.push_back("big/a rather long file name number " + std::to_string(i) + ".txt");
  ExtScenario scenario = Make(dir, plan);
  if (!scenario.skipReason.empty()) GTEST_SKIP() << scenario.skipReason;
  std::string output;
  EXPECT_EQ(Recover(dir, scenario, &output), kExitOk) << output;
  ExpectBack(dir, scenario);
  EXPECT_FALSE(std::filesystem::exists(dir / "out/big/a rather long file name number 8.txt"));
}

// Small files and folders kept inside their inodes; in 1 KiB inodes a file
// of 700 bytes keeps most of itself past the map.
TEST_F(ExtRecovery, InlineDataFilesAndFolders) {
  for (const char* inodeSize : {"", " -I 1024"}) {
    SCOPED_TRACE(inodeSize);
    test::TempDir dir;
    ExtScenarioPlan plan;
    plan.mkfs = std::string("mkfs.ext4 -q -F -O inline_data") + inodeSize;
    plan.populate = R"sh(
mkdir -p tiny/sub
printf 'short text' > tiny/a.txt
head -c 150 /dev/urandom > tiny/b.bin
head -c 40 /dev/urandom > tiny/sub/c.bin
head -c 5000 /dev/urandom > tiny/d.bin
head -c 700 /dev/urandom > tiny/e.bin
)sh";
    plan.deleted = {"tiny/a.txt", "tiny/b.bin", "tiny/sub", "tiny/d.bin", "tiny/e.bin"};
    plan.kernelOnly = "debugfs clears the inode number of an entry that starts a folder";
    ExtScenario scenario = Make(dir, plan);
    if (!scenario.skipReason.empty()) GTEST_SKIP() << scenario.skipReason;
    std::string output;
    EXPECT_EQ(Recover(dir, scenario, &output), kExitOk) << output;
    ExpectBack(dir, scenario);
  }
}

// A file deleted, a new one given its inode number, and that deleted too:
// no name says which file the number held when, so no copy passes as
// whole (and the two names count as one file renamed).
TEST_F(ExtRecovery, InodeNumberOfTwoDeletedFilesIsReported) {
  test::TempDir dir;
  ExtScenarioPlan plan;
  plan.kernelOnly = "the inode number is given again by the kernel";
  plan.populate = R"sh(
mkdir d
head -c 20000 /dev/urandom > d/first.bin; sync; sleep 1
inode=$(stat -c %i d/first.bin); rm d/first.bin; sync
head -c 30000 /dev/urandom > d/second.bin; sync
[ "$(stat -c %i d/second.bin)" = "$inode" ] || echo "the inode number was not given again" >&2
head -c 5000 /dev/urandom > d/third.bin
)sh";
  plan.deleted = {"d/second.bin", "d/third.bin"};
  ExtScenario scenario = Make(dir, plan);
  if (!scenario.skipReason.empty()) GTEST_SKIP() << scenario.skipReason;
  std::string output;
  EXPECT_EQ(Recover(dir, scenario, &output), kExitSomeFailed) << output;
  EXPECT_NE(output.find("failed: " + (dir / "out/d/second.bin")), std::string::npos) << output;
  EXPECT_TRUE(!std::filesystem::exists(dir / "out/d/first.bin") ||
              output.find("failed: " + (dir / "out/d/first.bin")) != std::string::npos)
      << output;
  EXPECT_EQ(test::FileSha256(dir / "out/d/third.bin"), scenario.deleted.at("d/third.bin"));
}

// A small log that has wrapped many times: its oldest blocks lie after
// its newest, and transactions run across its end.
TEST_F(ExtRecovery, WrappedJournal) {
  test::TempDir dir;
  ExtScenarioPlan plan;
  plan.mkfs = "mkfs.ext4 -q -F -J size=1";
  plan.populate = R"(
mkdir churn work
for round in 1 2 3; do
  for i in $(seq 1 400); do echo $i > churn/c$i; done; sync; rm churn/*; sync
  for i in $(seq 1 20); do head -c $((round * 3000 + i * 100)) /dev/urandom > work/r${round}_$i.dat; done; sync
done
)";
  for (int round = 1; round <= 3; ++round)
    for (int i = 2; i <= 20; i += 3)
      plan.deleted.push_back("work/r" + std::to_string(round) + "_" + std::to_string(i) + ".dat");
  ExtScenario scenario = Make(dir, plan);
  if (!scenario.skipReason.empty()) GTEST_SKIP() << scenario.skipReason;
  std::string output;
  // Empty files take the inode numbers the deleted ones left, so these two
  // own theirs alone while their blocks fill the holes between live files.
  Recover(dir, scenario, &output);
  ExpectBack(dir, scenario);
}

// A file whose blocks a later file took is reported, never passed as whole.
TEST_F(ExtRecovery, FileOverwrittenAfterDeletionIsReportedDamaged) {
  test::TempDir dir;
  ExtScenarioPlan plan;
  plan.megabytes = 32;
  plan.populate = "head -c 8000000 /dev/urandom > victim.bin; head -c 2000 /dev/urandom > kept.txt";
  plan.deleted = {"victim.bin", "kept.txt"};
  plan.afterDeletion = "head -c 20000000 /dev/zero > filler.bin || true";
  ExtScenario scenario = Make(dir, plan);
  if (!scenario.skipReason.empty()) GTEST_SKIP() << scenario.skipReason;
  std::string output;
  EXPECT_EQ(Recover(dir, scenario, &output), kExitSomeFailed) << output;
  EXPECT_NE(test::FileSha256(dir / "out/victim.bin"), scenario.deleted.at("victim.bin"));
  EXPECT_NE(output.find("victim.bin"), std::string::npos) << output;
}

}  // namespace
}  // namespace salvora
