#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ext/ExtVolume.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"
#include "storage/SectorSource.h"
#include "support/BadRangeBytes.h"
#include "support/ReadFaults.h"
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
    for (size_t i = 0; i < length; ++i)
      bytes_[offset + i] = static_cast<char>(bytes_[offset + i] ^ 0x5A);
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
  for (const Case& c :
       {Case{"mkfs.ext4", 1024, "ext4", true}, Case{"mkfs.ext4 -b 4096", 4096, "ext4", true},
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

// Inode tables are read in long runs: a run that meets an unreadable block
// is read again block by block, so that the bad block costs only itself.
TEST_F(ExtVolumeTest, AnUnreadableInodeTableBlockCostsOnlyItself) {
  if (!Make("mkfs.ext4 -b 4096")) GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is not installed";
  const auto* raw = reinterpret_cast<const uint8_t*>(bytes_.data());
  uint64_t table = Le32(raw + 4096 + 8);  // group 0's descriptor, in block 1
  uint64_t bad = (table + 1) * 4096;
  volume_ = std::make_unique<ExtVolume>();
  ASSERT_EQ(
      volume_->Open(std::make_unique<test::BytesWithBadRange>(raw, bytes_.size(), bad, bad + 4096)),
      0);
  ExpectRootReadable();  // the root lies in the table's first block
  EXPECT_EQ(volume_->History(table + 1).current, -1);
  EXPECT_TRUE(volume_->History(table + 1).versions.empty());
  const ExtBlockHistory& next = volume_->History(table + 2);
  ASSERT_EQ(next.current, 0);
  EXPECT_EQ(std::memcmp(next.versions[0], raw + (table + 2) * 4096, 4096), 0);
}

// More inode table blocks than the volume keeps at once, asked for forwards
// and then backwards: each answer is the block asked for, never another
// that took its place among the kept ones.
TEST_F(ExtVolumeTest, KeptInodeTableBlocksAnswerForThemselves) {
  // 1 KiB inodes: a table of 4096 blocks in one group.
  if (!Make("mkfs.ext4 -b 4096 -I 1024 -N 16384"))
    GTEST_SKIP() << "mkfs.ext4 (e2fsprogs) is not installed";
  auto* raw = reinterpret_cast<uint8_t*>(bytes_.data());
  uint64_t table = Le32(raw + 4096 + 8);
  constexpr uint64_t kTableBlocks = 4096;
  ASSERT_LE((table + kTableBlocks) * 4096, bytes_.size());
  for (uint64_t b = table; b < table + kTableBlocks; ++b) std::memcpy(raw + b * 4096, &b, 8);
  ASSERT_EQ(Open(), 0);
  auto stampOf = [&](uint64_t block) {
    const ExtBlockHistory& history = volume_->History(block);
    uint64_t stamp = 0;
    if (history.current >= 0) std::memcpy(&stamp, history.versions[history.current], 8);
    return stamp;
  };
  for (uint64_t b = table; b < table + kTableBlocks; ++b) ASSERT_EQ(stampOf(b), b);
  for (uint64_t b = table + kTableBlocks; b-- > table;) ASSERT_EQ(stampOf(b), b);
  volume_->ForgetBlocks();
  EXPECT_EQ(stampOf(table + 7), table + 7);
}

// A read across a bad sector keeps what came before it and zeroes the rest,
// whatever the buffer held, whether or not the read starts on a sector.
TEST(ExtSectorBytes, ZeroesOnlyWhatCouldNotBeRead) {
  test::TempDir dir;
  std::string image(4 * 512, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i % 251 + 1);
  test::WriteFile(dir / "four.img", image);
  test::FaultPlan plan;
  plan.badSectors = {2};
  test::ReadFaults faults(plan);
  SectorSource source;
  ASSERT_EQ(source.OpenImage(dir / "four.img"), kOk);
  ExtSectorBytes bytes(source, 0, 4, 512);
  for (uint64_t offset : {uint64_t{0}, uint64_t{100}}) {
    SCOPED_TRACE(offset);
    std::vector<uint8_t> out(1800 - offset, 0xEE);
    EXPECT_NE(bytes.Read(offset, out.size(), out.data()), kOk);
    size_t before = static_cast<size_t>(1024 - offset);
    EXPECT_EQ(std::memcmp(out.data(), image.data() + offset, before), 0);
    for (size_t i = before; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
  }
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
