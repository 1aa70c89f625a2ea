// The carving engine as the deep scan drives it: stored records, the
// advance rule, cancellation, listings, recovery and previews.
#include <gtest/gtest.h>

#include "carving/FileTypeRecovery.h"
#include "platform/DataFolders.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

int Cancel(void*, int32_t, int32_t, int32_t, uint64_t, uint64_t, uint64_t, int32_t) {
  return -9527;
}

class CarvingEngine : public ::testing::Test {
 protected:
  // Puts the image in place as the engine's source with a fresh store.
  void Load(const std::string& image) {
    image_ = image;
    AttachBytes(engine_.Source(), image);
    ASSERT_EQ(engine_.ReopenStore("File_Type_test", 512), 0);
  }
  int CarveAt(uint64_t sector, uint64_t& advance) {
    std::string bytes = image_.substr(sector * kSector, kSector);
    advance = 1;
    return engine_.CarveAtSector(512, reinterpret_cast<const uint8_t*>(bytes.data()), kSector,
                                 sector, sector, 1000, -1, engine_.Source(), advance, found_);
  }
  std::vector<FoundRecord> Records() {
    std::vector<FoundRecord> records;
    EXPECT_EQ(engine_.ListFolder(nullptr, 0, records), 0);
    return records;
  }

  ScopedDataDir data_;
  CFileTypeRecovery engine_;
  std::string image_;
  uint64_t found_ = 0;
};

TEST_F(CarvingEngine, StoresARecordNamedAfterItsStartSector) {
  ImageBuilder image;
  image.ZeroSectors(2048);
  image.Place(DecodableJpegOf(1300));
  image.RandomSectors(2, 1);
  Load(image.bytes());
  uint64_t advance = 0;
  ASSERT_EQ(CarveAt(2048, advance), 0);
  EXPECT_EQ(found_, 1u);
  EXPECT_EQ(advance, 3u);
  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  const FoundRecord& r = records[0];
  EXPECT_STREQ(r.name, "2048.jpg");
  EXPECT_EQ(+r.engineKind, 4u);
  EXPECT_EQ(+r.clusterBytes, 0xFFFFFFFFu);
  EXPECT_EQ(+r.entrySector, 2048u);
  EXPECT_EQ(+r.fileSize, 1300u);
  EXPECT_EQ(+r.recordNo, 1u);
  EXPECT_EQ(+r.firstCluster, 0u);
  EXPECT_EQ(+r.isFolder, 0u);
  uint32_t count = 0;
  EXPECT_EQ(engine_.CountFolderFiles(nullptr, 0, count), 0);
  EXPECT_EQ(count, 1u);
}

TEST_F(CarvingEngine, AdvanceSkipsCarvedFilesExceptContainers) {
  ImageBuilder image;
  image.Place(PngOf(10000));
  uint64_t bmpSector =
      image.Place("BM" + Le32Bytes(3000) + Filler(8, 0) + Le32Bytes(40) + Filler(3000 - 18, 0x44));
  image.RandomSectors(2, 2);
  Load(image.bytes());
  uint64_t advance = 0;
  ASSERT_EQ(CarveAt(0, advance), 0);
  EXPECT_EQ(advance, 20u);
  ASSERT_EQ(CarveAt(bmpSector, advance), 0);
  EXPECT_EQ(advance, 1u);
}

TEST_F(CarvingEngine, NothingCarvableLeavesTheAdvanceAlone) {
  ImageBuilder image;
  image.RandomSectors(4, 3);
  Load(image.bytes());
  uint64_t advance = 0;
  EXPECT_EQ(CarveAt(1, advance), 87);
  EXPECT_EQ(advance, 1u);
  EXPECT_EQ(found_, 0u);
  EXPECT_TRUE(Records().empty());
}

TEST_F(CarvingEngine, CancelWhileMeasuringStoresNothing) {
  ImageBuilder image;
  image.Place("II" + Bytes({0x2A, 0}) + Filler(300 * 512, 0x55));
  Load(image.bytes());
  engine_.SetCallbacks(Cancel, nullptr, nullptr, 90);
  uint64_t advance = 0;
  EXPECT_EQ(CarveAt(0, advance), -9527);
  EXPECT_EQ(advance, 1u);
  EXPECT_EQ(engine_.GetRecordCount(), 0u);
}

TEST_F(CarvingEngine, RecordsLieAtTheRootOnly) {
  ImageBuilder image;
  image.Place(PngOf(2000));
  image.RandomSectors(2, 4);
  Load(image.bytes());
  uint64_t advance = 0;
  ASSERT_EQ(CarveAt(0, advance), 0);
  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  std::vector<FoundRecord> below;
  EXPECT_EQ(engine_.ListFolder(&records[0], 0, below), 0);
  EXPECT_EQ(engine_.ListFolder(nullptr, 2, below), 0);
  EXPECT_TRUE(below.empty());
  uint32_t count = 7;
  EXPECT_EQ(engine_.CountFolderFiles(nullptr, 1, count), 0);
  EXPECT_EQ(count, 0u);
  std::string path = "x";
  EXPECT_EQ(engine_.GetRecordPath(records[0], path), 0);
  EXPECT_TRUE(path.empty());
}

TEST_F(CarvingEngine, RecoveryWritesExactlyTheFileAndReportsReadFaults) {
  ImageBuilder image;
  std::string png = PngOf(1234);
  image.Place(png);
  image.RandomSectors(2, 5);
  Load(image.bytes());
  uint64_t advance = 0;
  ASSERT_EQ(CarveAt(0, advance), 0);
  FoundRecord record = Records().at(0);
  TempDir out;
  ASSERT_EQ(engine_.RecoverItem(&record, out / "sub/0.png", 0), 0);
  EXPECT_EQ(ReadFile(out / "sub/0.png"), png);
  EXPECT_EQ(engine_.RecoverItem(nullptr, out / "none.png", 0), 87);

  record.entrySector = 1000;  // beyond the disk
  EXPECT_EQ(engine_.RecoverItem(&record, out / "gone.png", 0), 30);
}

TEST_F(CarvingEngine, PreviewGoesToTheTargetOfItsType) {
  ImageBuilder image;
  std::string png = PngOf(1500);
  image.Place(png);
  image.RandomSectors(2, 6);
  uint64_t pdfSector = image.Place("%PDF-1.4\n" + Filler(600, 'p') + "\n%%EOF\n");
  image.RandomSectors(2, 7);
  Load(image.bytes());
  uint64_t advance = 0;
  ASSERT_EQ(CarveAt(0, advance), 0);
  ASSERT_EQ(CarveAt(pdfSector, advance), 0);
  auto records = Records();
  ASSERT_EQ(records.size(), 2u);
  for (const FoundRecord& r : records) {
    std::string path;
    uint32_t size = 0;
    ASSERT_EQ(engine_.ExtractForPreview(&r, path, nullptr, size, nullptr, nullptr), 0);
    bool isPng = std::string(r.name) == "0.png";
    EXPECT_EQ(path, PreviewFolder().string() + "/" + (isPng ? "tmp.jpg" : std::string(r.name)));
    EXPECT_EQ(ReadFile(path).size(), +r.fileSize);
  }
}

}  // namespace
}  // namespace salvora::test
