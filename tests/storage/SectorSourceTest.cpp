#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "platform/ErrorCodes.h"
#include "platform/MemoryFile.h"
#include "storage/SectorSource.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

SectorSource MakeSource(std::string bytes, MemoryFile** file = nullptr) {
  auto memory = std::make_unique<MemoryFile>(std::move(bytes));
  if (file) *file = memory.get();
  uint64_t count = memory->Size() / 512;
  SectorSource source;
  source.Attach(std::move(memory), count);
  return source;
}

TEST(SectorSource, BoundsAreCheckedBeforeAnythingIsRead) {
  SectorSource source = MakeSource(test::PseudoRandomBytes(8 * 512, 1));
  std::vector<char> buffer(4 * 512, 'x');
  uint32_t got = 77;
  EXPECT_EQ(source.ReadSectors(2, buffer.data(), 6, 512, got), kOk);
  EXPECT_EQ(got, 2u);
  got = 77;
  EXPECT_EQ(source.ReadSectors(3, buffer.data(), 6, 512, got), kInvalidParameter);
  EXPECT_EQ(got, 77u) << "the count must stay untouched";
  // Values that would overflow a naive firstSector + count check.
  EXPECT_EQ(source.ReadSectors(1, buffer.data(), UINT64_MAX, 512, got), kInvalidParameter);
  EXPECT_EQ(source.ReadSectors(-1, buffer.data(), 0, 512, got), kInvalidParameter);
  EXPECT_EQ(source.ReadSectors(1, buffer.data(), 0, 0, got), kInvalidParameter);
  EXPECT_EQ(source.ReadSectors(0, buffer.data(), 8, 512, got), kOk);
  EXPECT_EQ(got, 0u);
}

TEST(SectorSource, ReadsReturnTheBytesAtTheSector) {
  std::string bytes = test::PseudoRandomBytes(300 * 512, 2);
  MemoryFile* file = nullptr;
  SectorSource source = MakeSource(bytes, &file);
  file->LimitReadSize(1000);  // short reads must simply continue
  std::vector<char> buffer(200 * 512);
  uint32_t got = 0;
  ASSERT_EQ(source.ReadSectors(200, buffer.data(), 50, 512, got), kOk);
  EXPECT_EQ(got, 200u);
  EXPECT_EQ(std::string(buffer.data(), buffer.size()), bytes.substr(50 * 512, 200 * 512));
}

TEST(SectorSource, AFailingDeviceGivesReadFaultAndTheWholeSectorsThatArrived) {
  MemoryFile* file = nullptr;
  SectorSource source = MakeSource(test::PseudoRandomBytes(64 * 512, 3), &file);
  file->FailSector(10);
  std::vector<char> buffer(32 * 512);
  uint32_t got = 0;
  EXPECT_EQ(source.ReadSectors(32, buffer.data(), 4, 512, got), kReadFault);
  EXPECT_EQ(got, 6u);
}

// Large reads split into pieces give each piece exactly what reading that
// piece alone gives, on a disk with bad sectors and short reads.
TEST(SectorSource, PiecesOfALargeReadAreThePiecesReadAlone) {
  std::string bytes = test::PseudoRandomBytes(400 * 512, 4);
  for (uint64_t seed = 1; seed <= 6; ++seed) {
    MemoryFile *whole = nullptr, *single = nullptr;
    SectorSource large = MakeSource(bytes, &whole), pieces = MakeSource(bytes, &single);
    for (uint64_t bad : {seed * 37 % 400, seed * 91 % 400, 399 - seed}) {
      whole->FailSector(bad);
      single->FailSector(bad);
    }
    if (seed % 2) whole->LimitReadSize(700 * seed);
    const uint32_t first = static_cast<uint32_t>(seed * 5), count = 300, piece = 16 + seed;
    std::vector<char> run(count * 512, 0);
    std::vector<uint32_t> read;
    int result = large.ReadPieces(count, piece, run.data(), first, 512, read);
    ASSERT_EQ(read.size(), (count + piece - 1) / piece);
    bool anyShort = false;
    for (uint32_t i = 0; i < read.size(); ++i) {
      uint32_t asked = std::min(piece, count - i * piece), got = 0;
      std::vector<char> alone(asked * 512, 0);
      pieces.ReadSectors(static_cast<int32_t>(asked), alone.data(), first + i * piece, 512, got);
      EXPECT_EQ(read[i], got) << "seed " << seed << " piece " << i;
      EXPECT_EQ(std::string(run.data() + size_t{i} * piece * 512, got * 512),
                std::string(alone.data(), got * 512));
      anyShort = anyShort || got < asked;
    }
    EXPECT_EQ(result, anyShort ? kReadFault : kOk);
    EXPECT_EQ(large.FirstFailure(), pieces.FirstFailure());
  }
  SectorSource source = MakeSource(bytes);
  std::vector<char> buffer(512);
  std::vector<uint32_t> read{9};
  EXPECT_EQ(source.ReadPieces(2, 1, buffer.data(), 399, 512, read), kInvalidParameter);
  EXPECT_EQ(read, (std::vector<uint32_t>{0, 0})) << "nothing arrived";
}

TEST(SectorSource, ImagesCountWhole512ByteSectorsAndOpenReadOnly) {
  test::TempDir dir;
  std::string path = dir / "odd.img";
  test::WriteFile(path, std::string(5 * 512 + 100, '\1'));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  SectorSource source;
  ASSERT_EQ(source.OpenImage(path), kOk) << "a read-only image must open";
  EXPECT_EQ(source.SectorCount(), 5u);
  std::vector<char> buffer(512);
  uint32_t got = 0;
  EXPECT_EQ(source.ReadSectors(1, buffer.data(), 5, 512, got), kInvalidParameter);
}

TEST(SectorSource, MissingImageReportsFileNotFound) {
  SectorSource source;
  std::string message;
  EXPECT_EQ(source.OpenImage("/nonexistent/image.img", &message), kFileNotFound);
  EXPECT_NE(message.find("/nonexistent/image.img"), std::string::npos);
  EXPECT_FALSE(source.IsOpen());
}

}  // namespace
}  // namespace salvora
