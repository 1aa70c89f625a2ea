#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ext/ExtVolume.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

// A volume made by mkfs on an image, read from memory.
class ExtVolumeTest : public ::testing::Test {
 protected:
  bool Make(const std::string& mkfs, int megabytes = 64) {
    if (!test::HaveCommand("mkfs.ext4")) return false;
    std::string image = dir_ / "v.img";
    test::MustRun("rm -f " + Quote(image) + "; truncate -s " + std::to_string(megabytes) + "M " +
                  Quote(image) + " && " + mkfs + " -q -F " + Quote(image) + " >/dev/null 2>&1");
    bytes_ = test::ReadFile(image);
    return !bytes_.empty();
  }
  int Open() {
    volume_ = std::make_unique<ExtVolume>();
    return volume_->Open(std::make_unique<ExtMemoryBytes>(
        reinterpret_cast<const uint8_t*>(bytes_.data()), bytes_.size()));
  }
  void ExpectRootReadable() {
    ExtInode root;
    ASSERT_TRUE(volume_->CurrentInode(kExtRootInode, root));
    EXPECT_EQ(root.Type(), ExtFileType::kDirectory);
    std::vector<ExtRun> runs;
    ASSERT_TRUE(volume_->MapOf(root, runs));
    ASSERT_EQ(runs.size(), 1u);
  }
  void Corrupt(uint64_t offset, size_t length) {
    for (size_t i = 0; i < length; ++i) bytes_[offset + i] = static_cast<char>(bytes_[offset + i] ^ 0x5A);
  }

  test::TempDir dir_;
  std::string bytes_;
  std::unique_ptr<ExtVolume> volume_;
};

TEST_F(ExtVolumeTest, LayoutsOfEveryGenerationAndBlockSize) {
  struct Case {
    const char* mkfs;
    uint32_t blockSize;
    const char* generation;
    bool journal;
  };
  // Volumes this small get 1 KiB blocks unless told otherwise.
  for (const Case& c : {Case{"mkfs.ext4", 1024, "ext4", true},
                        Case{"mkfs.ext4 -b 4096", 4096, "ext4", true},
                        Case{"mkfs.ext4 -b 65536", 65536, "ext4", false},
                        Case{"mkfs.ext4 -b 4096 -O ^metadata_csum,^64bit -I 128", 4096, "ext4", true},
                        Case{"mkfs.ext3 -b 4096", 4096, "ext3", true},
                        Case{"mkfs.ext2 -b 2048", 2048, "ext2", false}}) {
    SCOPED_TRACE(c.mkfs);
    if (!Make(c.mkfs)) GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is not installed";
    ASSERT_EQ(Open(), 0);
    const ExtSuperblock& sb = volume_->Superblock();
    EXPECT_EQ(sb.blockSize, c.blockSize);
    EXPECT_STREQ(sb.Generation(), c.generation);
    EXPECT_EQ(sb.blocksCount * sb.blockSize, 64ull << 20);
    EXPECT_EQ(volume_->Journal() != nullptr, c.journal);
    ExpectRootReadable();
    // The lost+found folder's blocks are allocated, the volume's tail free.
    uint64_t block = 0, count = 0;
    ASSERT_TRUE(volume_->NextFreeBlocks(block, count));
    EXPECT_GT(count, 0u);
    EXPECT_FALSE(volume_->BlockInUse(block));
    EXPECT_TRUE(volume_->BlockInUse(sb.firstDataBlock));
  }
}

// A damaged first superblock (its checksum no longer holds) gives way to
// the backup in group 1, and a damaged descriptor to its backup copy.
TEST_F(ExtVolumeTest, BackupsStandInForDamagedSuperblockAndDescriptors) {
  if (!Make("mkfs.ext4 -b 1024")) GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is not installed";
  ASSERT_EQ(Open(), 0);
  ExtInode before;
  ASSERT_TRUE(volume_->CurrentInode(kExtRootInode, before));
  Corrupt(1024 + 0x78, 4);  // inside the volume name
  Corrupt(2048 + 8, 4);     // group 0's inode table location
  ASSERT_EQ(Open(), 0);
  EXPECT_EQ(volume_->Superblock().groupNumber, 1u);
  ExtInode after;
  ASSERT_TRUE(volume_->CurrentInode(kExtRootInode, after));
  EXPECT_EQ(after.generation, before.generation);
  ExpectRootReadable();
}

TEST_F(ExtVolumeTest, RefusesWhatIsNoVolume) {
  bytes_.assign(1 << 20, '\0');
  EXPECT_NE(Open(), 0);
  // A superblock that claims far more blocks than the source holds.
  if (!Make("mkfs.ext2 -b 1024")) GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is not installed";
  bytes_.resize(1 << 16);
  ASSERT_EQ(Open(), 0);
  std::memset(bytes_.data() + 1024 + 4, 0xFF, 4);
  EXPECT_NE(Open(), 0);
}

}  // namespace
}  // namespace salvora
