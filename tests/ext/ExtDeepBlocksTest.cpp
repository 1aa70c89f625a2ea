#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ext/ExtChecksum.h"
#include "ext/ExtDeepDirectory.h"
#include "ext/ExtOldInodes.h"
#include "ext/ExtSeedSolver.h"
#include "storage/VolumeClass.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

// A volume made by mkfs from a folder (no mount needed), read from memory;
// optionally formatted again afterwards, as a user reformats a disk.
class ExtDeepBlocks : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("mkfs.ext4")) GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is not installed";
    std::string tree = dir_ / "tree";
    test::MustRun("mkdir -p " + Quote(tree + "/docs/inner") + " && cd " + Quote(tree) +
                  " && for i in $(seq 1 30); do head -c $((i * 999)) /dev/urandom > docs/f$i; "
                  "done && echo x > docs/inner/leaf.txt && truncate -s 64M ../v.img && "
                  "mkfs.ext4 -q -F -d . ../v.img");
  }
  void Load() {
    bytes_ = test::ReadFile(dir_ / "v.img");
    volume_ = std::make_unique<ExtVolume>();
    ASSERT_EQ(volume_->Open(std::make_unique<ExtMemoryBytes>(
                  reinterpret_cast<const uint8_t*>(bytes_.data()), bytes_.size())),
              0);
  }
  void Reformat() { test::MustRun("mkfs.ext4 -q -F -E nodiscard " + Quote(dir_ / "v.img")); }
  const uint8_t* At(uint64_t byte) const {
    return reinterpret_cast<const uint8_t*>(bytes_.data()) + byte;
  }
  // The first data block of the folder `path`, as the volume maps it.
  uint64_t FolderBlock(const std::string& path) {
    std::string out;
    test::Run("debugfs -R " + Quote("blocks " + path) + " " + Quote(dir_ / "v.img") +
                  " 2>/dev/null | cat",
              &out);
    return std::strtoull(out.c_str(), nullptr, 10);
  }

  test::TempDir dir_;
  std::string bytes_;
  std::unique_ptr<ExtVolume> volume_;
};

// The start register is found for any data and length, so a checksum made
// from it is the one given.
TEST(ExtSeedSolver, StartRegisterIsFoundForAnyLength) {
  std::string data = test::PseudoRandomBytes(5000, 7);
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  for (size_t length : {0u, 1u, 4u, 8u, 255u, 256u, 4084u, 5000u}) {
    for (uint32_t start : {0u, 1u, 0x80000000u, 0xDEADBEEFu}) {
      uint32_t result = Crc32c(start, bytes, length);
      EXPECT_EQ(Crc32cStartFor(bytes, length, result), start) << length;
    }
  }
}

// Every inode in use on a real volume gives back the volume's seed; an
// inode changed by one bit gives another; a 128-byte inode (half a
// checksum) gives none.
TEST_F(ExtDeepBlocks, InodesGiveBackTheVolumeSeed) {
  Load();
  const ExtSuperblock& sb = volume_->Superblock();
  uint64_t table = volume_->Groups()[0].inodeTable * sb.blockSize;
  int inUse = 0;
  for (uint32_t number = 1; number <= 64; ++number) {
    const uint8_t* raw = At(table + uint64_t{number - 1} * sb.inodeSize);
    if (!ExtInodeLooksInUse(raw)) continue;
    ++inUse;
    EXPECT_EQ(ExtVolumeSeedOfInode(sb, number, raw), sb.checksumSeed) << number;
    EXPECT_NE(ExtVolumeSeedOfInode(sb, number + 1, raw), sb.checksumSeed) << number;
    std::vector<uint8_t> flipped(raw, raw + sb.inodeSize);
    flipped[0x10] ^= 1;
    EXPECT_NE(ExtVolumeSeedOfInode(sb, number, flipped.data()), sb.checksumSeed) << number;
    flipped[0x80] = 0;  // no extra space: only the low half of the checksum
    flipped[0x81] = 0;
    EXPECT_FALSE(ExtVolumeSeedOfInode(sb, number, flipped.data()).has_value());
  }
  EXPECT_GE(inUse, 30);
}

// A folder's block names the folder and its parent, every entry, and by
// its tail the folder's inode seed; damage of any kind makes it data.
TEST_F(ExtDeepBlocks, DirectoryBlocksAreToldFromDamage) {
  if (!test::HaveCommand("debugfs")) GTEST_SKIP() << "debugfs (e2fsprogs) is not installed";
  uint64_t block = FolderBlock("/docs");
  Load();
  const ExtSuperblock& sb = volume_->Superblock();
  std::vector<uint8_t> data(At(block * sb.blockSize), At(block * sb.blockSize) + sb.blockSize);
  ExtFoundDirectory found;
  ASSERT_TRUE(RecogniseExtDirectoryBlock(data.data(), sb.blockSize, sb.inodesCount, found));
  EXPECT_EQ(found.parent, kExtRootInode);
  ASSERT_EQ(found.entries.size(), 31u);
  size_t inner = 0;
  for (const ExtDirEntry& entry : found.entries)
    inner += entry.name == "inner" && entry.fileType == kExtDirTypeDirectory;
  EXPECT_EQ(inner, 1u);
  ExtInode folder;
  ASSERT_TRUE(volume_->CurrentInode(found.self, folder));
  EXPECT_EQ(found.ownerSeed, ExtInodeSeed(sb, found.self, folder.generation));

  auto rejects = [&](size_t offset, uint8_t value) {
    std::vector<uint8_t> damaged = data;
    damaged[offset] = value;
    ExtFoundDirectory ignored;
    return !RecogniseExtDirectoryBlock(damaged.data(), sb.blockSize, sb.inodesCount, ignored);
  };
  const size_t third = 24;                // the first named entry, after "." and ".."
  EXPECT_TRUE(rejects(third + 8, '/'));   // a slash in a name
  EXPECT_TRUE(rejects(third + 7, 0));     // no file type
  EXPECT_TRUE(rejects(third + 4, 13));    // a length off the chain
  EXPECT_TRUE(rejects(third + 3, 0x7F));  // an inode past the volume's
  ExtFoundDirectory none;
  std::vector<uint8_t> zeros(sb.blockSize, 0);
  EXPECT_FALSE(RecogniseExtDirectoryBlock(zeros.data(), sb.blockSize, sb.inodesCount, none));
  std::string noise = test::PseudoRandomBytes(sb.blockSize, 3);
  EXPECT_FALSE(RecogniseExtDirectoryBlock(reinterpret_cast<const uint8_t*>(noise.data()),
                                          sb.blockSize, sb.inodesCount, none));
}

// A healthy volume has no old inodes; formatted again, its old inodes are
// found under the old seed and under no other, numbered as before.
TEST_F(ExtDeepBlocks, OldInodesAreThoseOfTheEarlierVolume) {
  Load();
  ExtOldInodes old;
  old.Sweep(*volume_, false);
  EXPECT_TRUE(old.Places().empty());
  old.Sweep(*volume_, true);
  EXPECT_GE(old.Places().size(), 33u);
  uint32_t earlierSeed = volume_->Superblock().checksumSeed;

  Reformat();
  Load();
  ASSERT_NE(volume_->Superblock().checksumSeed, earlierSeed);
  old.Sweep(*volume_, false);
  size_t files = 0;
  for (const ExtOldInodePlace& place : old.Places()) {
    EXPECT_EQ(place.seed, earlierSeed);
    ExtInode inode;
    ASSERT_TRUE(old.Read(*volume_, place, inode)) << place.number;
    files += inode.Type() == ExtFileType::kFile;
  }
  // The first table block is written again by the new volume.
  EXPECT_GE(files, 25u);
}

// The backup superblock copies are accepted only where they belong.
TEST_F(ExtDeepBlocks, BackupSuperblockBelongsToItsPlace) {
  Load();
  uint64_t offsets[kExtBackupProbes];
  ExtBackupSuperblockOffsets(offsets);
  int matches = 0;
  for (uint64_t offset : offsets) {
    if (offset + 1024 > bytes_.size()) continue;
    bool copy = IsExtBackupSuperblock(At(offset), offset);
    matches += copy;
    if (copy) {
      EXPECT_FALSE(IsExtBackupSuperblock(At(offset), offset + 1024));
    }
  }
  EXPECT_EQ(matches, 2);                                // groups 1 and 3 of the 1 KiB layout
  EXPECT_FALSE(IsExtBackupSuperblock(At(1024), 1024));  // the primary names group 0
}

}  // namespace
}  // namespace salvora
