// The image copier against sources that behave and sources that fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <set>

#include "imaging/ImageCopier.h"
#include "imaging/TimeEstimate.h"
#include "platform/ErrorCodes.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::ReadFile;
using test::TempDir;

// A disk whose contents are a byte string and whose chosen sectors cannot
// be read, as a dying disk behaves; it remembers the size of every read.
class FailingDisk final : public RandomAccessFile {
 public:
  FailingDisk(std::string bytes, std::set<uint64_t> badSectors)
      : bytes_(std::move(bytes)), bad_(std::move(badSectors)) {}
  long long ReadAt(void* buffer, size_t length, uint64_t offset) override {
    reads_.push_back(length);
    if (offset >= bytes_.size()) return 0;
    for (uint64_t sector = offset / 512; sector * 512 < offset + length; ++sector)
      if (bad_.count(sector)) return -5;  // EIO
    size_t n = std::min<size_t>(length, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return static_cast<long long>(n);
  }
  uint64_t Size() const override { return bytes_.size(); }
  uint32_t LogicalSectorSize() const override { return 512; }
  bool IsBlockDevice() const override { return true; }
  std::vector<size_t> reads_;

 private:
  std::string bytes_;
  std::set<uint64_t> bad_;
};

// A real file read through the same road, to see what the copier asks for.
class RecordingFile final : public RandomAccessFile {
 public:
  explicit RecordingFile(std::unique_ptr<RandomAccessFile> file) : file_(std::move(file)) {}
  long long ReadAt(void* buffer, size_t length, uint64_t offset) override {
    if (length != kTransferChunkBytes) shortAsks_.push_back({offset, length});
    return file_->ReadAt(buffer, length, offset);
  }
  uint64_t Size() const override { return file_->Size(); }
  uint32_t LogicalSectorSize() const override { return 512; }
  bool IsBlockDevice() const override { return false; }
  // Reads that asked for less than a whole chunk.
  std::vector<std::pair<uint64_t, size_t>> shortAsks_;

 private:
  std::unique_ptr<RandomAccessFile> file_;
};

struct ProgressLog {
  int calls = 0;
  int stopAt = -1;  // call number that answers cancel
  int32_t lastPercent = -1;
  uint64_t lastDone = 0, lastTotal = 0;
  int32_t firstSecondsLeft = 0;

  static int Record(void* user, int32_t percent, uint64_t done, uint64_t total, int32_t left) {
    auto* log = static_cast<ProgressLog*>(user);
    if (log->calls == 0) log->firstSecondsLeft = left;
    log->lastPercent = percent;
    log->lastDone = done;
    log->lastTotal = total;
    return ++log->calls == log->stopAt ? kCancelled : 0;
  }
};

constexpr uint64_t kDiskSectors = 1000;  // 7 full chunks and one of 104 sectors

class ImageCopierFailing : public ::testing::Test {
 protected:
  void Attach(std::set<uint64_t> bad) {
    auto disk = std::make_unique<FailingDisk>(bytes_, std::move(bad));
    disk_ = disk.get();
    source_.Attach(std::move(disk), kDiskSectors);
  }
  std::string Sectors(uint64_t first, uint64_t count) const {
    return bytes_.substr(first * 512, count * 512);
  }

  TempDir dir_;
  std::string bytes_ = test::PseudoRandomBytes(kDiskSectors * 512, 7);
  SectorSource source_;
  FailingDisk* disk_ = nullptr;
  std::string target_ = dir_ / "disk.img";
};

TEST_F(ImageCopierFailing, ReadFaultStopsAfterTheLastGoodChunk) {
  Attach({300});  // in the third chunk (sectors 256-383)
  ProgressLog log;
  ImageCopier copier(&ProgressLog::Record, &log);
  EXPECT_EQ(copier.RunFrom(source_, 0, 0, target_), kReadFault);
  EXPECT_EQ(ReadFile(target_), Sectors(0, 256));
  EXPECT_EQ(copier.CopiedBytes(), 256u * 512);
  EXPECT_FALSE(PathExists(target_ + ".map"));
}

TEST_F(ImageCopierFailing, SkipErrorsZeroFillsAndMapsBadSectors) {
  // A lone sector, a run across a chunk boundary, and the very last sector.
  Attach({5, 383, 384, 385, 999});
  ProgressLog log;
  ImageCopier copier(&ProgressLog::Record, &log);
  copier.SetUnreadablePolicy({true, target_ + ".map", 0});
  ASSERT_EQ(copier.RunFrom(source_, 0, 0, target_), kOk);
  EXPECT_EQ(copier.UnreadableSectors(), 5u);

  std::string expected = bytes_;
  for (uint64_t sector : {5, 383, 384, 385, 999})
    expected.replace(sector * 512, 512, std::string(512, '\0'));
  EXPECT_EQ(ReadFile(target_), expected);

  std::string map = ReadFile(target_ + ".map");
  EXPECT_NE(map.find("0x0007D000     +"), std::string::npos) << map;
  std::string blocks = map.substr(map.find("status\n") + 7);
  EXPECT_EQ(blocks,
            "0x00000000  0x00000A00  +\n"
            "0x00000A00  0x00000200  -\n"
            "0x00000C00  0x0002F200  +\n"
            "0x0002FE00  0x00000600  -\n"
            "0x00030400  0x0004CA00  +\n"
            "0x0007CE00  0x00000200  -\n");
  EXPECT_EQ(log.lastPercent, 100);
  EXPECT_EQ(log.lastDone, kDiskSectors);
}

TEST_F(ImageCopierFailing, MapOfARegionCountsFromTheDiskStart) {
  Attach({120});
  ImageCopier copier(nullptr, nullptr);
  copier.SetUnreadablePolicy({true, target_ + ".map", 100 * 512});
  ASSERT_EQ(copier.RunFrom(source_, 100, 50, target_), kOk);
  EXPECT_EQ(ReadFile(target_).size(), 50u * 512);
  std::string map = ReadFile(target_ + ".map");
  std::string blocks = map.substr(map.find("status\n") + 7);
  EXPECT_EQ(blocks,
            "0x00000000  0x0000C800  ?\n"
            "0x0000C800  0x00002800  +\n"
            "0x0000F000  0x00000200  -\n"
            "0x0000F200  0x00003A00  +\n");
}

TEST_F(ImageCopierFailing, CancelStopsAndKeepsWhatWasCopied) {
  Attach({});
  ProgressLog log;
  log.stopAt = 2;
  ImageCopier copier(&ProgressLog::Record, &log);
  copier.SetUnreadablePolicy({true, target_ + ".map", 0});
  EXPECT_EQ(copier.RunFrom(source_, 0, 0, target_), kCancelled);
  EXPECT_EQ(ReadFile(target_), Sectors(0, 256));
  EXPECT_EQ(log.firstSecondsLeft, -1);
  // The map says where to go on from.
  std::string map = ReadFile(target_ + ".map");
  EXPECT_NE(map.find("0x00020000  0x0005D000  ?"), std::string::npos) << map;
}

TEST_F(ImageCopierFailing, OnlyAnOldImageFileIsReplacedAndBadRangesAreRefused) {
  Attach({});
  test::WriteFile(target_, std::string(kDiskSectors * 1024, 'x'));
  ImageCopier copier(nullptr, nullptr);
  ASSERT_EQ(copier.RunFrom(source_, 0, 0, target_), kOk);
  EXPECT_EQ(ReadFile(target_), bytes_);
  EXPECT_EQ(copier.RunFrom(source_, 900, 101, target_), kInvalidParameter);
  // A device node or link at the target's path is never removed.
  std::string link = dir_ / "link.img";
  ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
  EXPECT_EQ(copier.RunFrom(source_, 0, 0, link), kInvalidParameter);
  EXPECT_TRUE(PathExists(link));
  EXPECT_EQ(copier.RunFrom(source_, 1001, 0, target_), kInvalidParameter);
}

TEST(ImageCopier, HalfGigabytePartitionEndsWithAShortChunk) {
  TempDir dir;
  std::string source = dir / "partition.raw", target = dir / "partition.img";
  // Sparse but for a marker in the last chunk, which must arrive intact.
  test::MustRun("truncate -s 512000000 " + test::Quote(source) +
                " && printf 'last chunk' | dd of=" + test::Quote(source) +
                " bs=1 seek=511990000 conv=notrunc status=none");
  std::unique_ptr<RandomAccessFile> file;
  ASSERT_EQ(OpenRandomAccessFile(source, file), kOk);
  auto recording = std::make_unique<RecordingFile>(std::move(file));
  RecordingFile* seen = recording.get();
  SectorSource sectors;
  sectors.Attach(std::move(recording), 1000000);
  ProgressLog log;
  ImageCopier copier(&ProgressLog::Record, &log);
  ASSERT_EQ(copier.RunFrom(sectors, 0, 1000000, target), kOk);
  // 512,000,000 = 7812 x 65,536 + 32,768: one short chunk, the last.
  ASSERT_EQ(seen->shortAsks_.size(), 1u);
  EXPECT_EQ(seen->shortAsks_.front(), std::make_pair(uint64_t{512000000 - 32768}, size_t{32768}));
  EXPECT_EQ(log.calls, 7813);
  EXPECT_EQ(log.lastTotal, 1000000u);
  EXPECT_EQ(test::Run("cmp -s " + test::Quote(source) + " " + test::Quote(target)), 0);
}

TEST(TimeEstimate, FirstFiguresAfterFiveSecondsThenEveryFive) {
  TimeEstimate estimate(1000);
  EXPECT_EQ(estimate.Update(1000, 0, 100), -1);
  EXPECT_EQ(estimate.Update(5999, 50, 1000), -1);
  // 6000 ms in, 500 of 1000 bytes after 5 s: 100 B/s, 5 s left.
  EXPECT_EQ(estimate.Update(6000, 500, 1000), 5);
  EXPECT_EQ(estimate.Update(10999, 900, 1000), 5);
  EXPECT_EQ(estimate.Update(11000, 1000, 1000), 0);
  // A stalled copy still gives a figure, from a rate of at least 1 B/s.
  TimeEstimate stalled(0);
  EXPECT_EQ(stalled.Update(5000, 0, 42), 42);
}

}  // namespace
}  // namespace salvora
