#include <gtest/gtest.h>

#include "fat/FatDeepFixture.h"
#include "platform/ErrorCodes.h"

namespace salvora::test {
namespace {

// A volume of 2-sector clusters whose cluster 2 lies at sector 100.
struct CopyHarness : DeepFatHarness {
  std::string image = PseudoRandomBytes(400 * kSector, 3);
  CopyHarness() {
    WriteFile(imagePath, image);
    EXPECT_EQ(engine.OpenImage(imagePath, 'Z'), 0);
  }
  FoundRecord Record(uint32_t cluster, uint64_t size, uint32_t clusterBytes = 2 * kSector) {
    FoundRecord r{};
    r.engineKind = kDeepFat;
    r.firstCluster = cluster;
    r.clusterBytes = clusterBytes;
    r.fileSize = size;
    r.dataAreaSector = 100;
    SetRecordName(r.name, "file.dat");
    return r;
  }
  std::string Recover(const FoundRecord& record, int& result) {
    std::string out = dir / ("out" + std::to_string(++copies));
    result = engine.RecoverItem(&record, out, 0);
    return ReadFile(out);
  }
  int copies = 0;
};

// Without a trusted FAT a file is taken to continue in the clusters after
// its first one, whatever chain it had.
TEST(FatDeepCopyTest, FilesAreReadFromConsecutiveClustersAndCutToTheirSize) {
  CopyHarness h;
  int result = -1;
  std::string copied = h.Recover(h.Record(5, 1500), result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(copied == h.image.substr(106 * kSector, 1500));

  copied = h.Recover(h.Record(5, 0), result);  // an empty file is still made
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(copied.empty());

  uint8_t memory[700];
  uint32_t size = sizeof memory;
  std::string path;
  FoundRecord record = h.Record(7, 5000);
  ASSERT_EQ(h.engine.ExtractForPreview(&record, path, memory, size, nullptr, nullptr), 0);
  EXPECT_EQ(size, sizeof memory);
  EXPECT_TRUE(std::string(reinterpret_cast<char*>(memory), size) ==
              h.image.substr(110 * kSector, 700));
}

TEST(FatDeepCopyTest, DamagedRecordsAreRefused) {
  CopyHarness h;
  int result = 0;
  h.Recover(h.Record(5, 100, 101u << 20), result);
  EXPECT_EQ(result, kWriteFault);  // a cluster over 100 MiB
  h.Recover(h.Record(1, 100), result);
  EXPECT_EQ(result, kInvalidParameter);  // no data cluster below 2
  h.Recover(h.Record(5, 100, 300), result);
  EXPECT_EQ(result, kInvalidParameter);  // not whole sectors
  FoundRecord far = h.Record(5, 100);
  far.volumeFirstSector = ~0ull - 10;
  h.Recover(far, result);
  EXPECT_EQ(result, kInvalidParameter);  // position beyond any disk
}

TEST(FatDeepCopyTest, AFileRunningOffTheImageKeepsWhatWasReadAndFails) {
  CopyHarness h;
  int result = 0;
  std::string copied = h.Recover(h.Record(150, 10 * kSector), result);  // sectors 396..405
  EXPECT_EQ(result, kReadFault);
  EXPECT_EQ(copied.size(), 4 * kSector);
  EXPECT_TRUE(copied == h.image.substr(396 * kSector, 4 * kSector));
}

}  // namespace
}  // namespace salvora::test
