// Carved JPEGs are decoded before they are listed: junk that only starts
// like a JPEG is dropped, a photo whose data breaks off is kept but marked,
// and a photo carrying a thumbnail in its Exif block is whole.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "carving/FileTypeRecovery.h"
#include "carving/JpegDecodeCheck.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

class JpegDecodeCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveCommand("convert")) GTEST_SKIP() << "ImageMagick makes the photos";
    MustRun("convert -size 200x150 -seed 7 plasma:orange-blue -quality 80 -strip " +
            Quote(files_ / "photo.jpg"));
    MustRun("convert -size 64x48 -seed 8 plasma:red-green -quality 70 -strip " +
            Quote(files_ / "thumb.jpg"));
    photo_ = ReadFile(files_ / "photo.jpg");
    thumb_ = ReadFile(files_ / "thumb.jpg");
  }

  // The photo with an Exif block holding the thumbnail, end marker and all,
  // starting on a sector boundary.
  std::string PhotoWithThumbnail() const {
    std::string app1 = Bytes({0xFF, 0xE1, 0, 0}) + "Exif" + Bytes({0, 0});
    app1 += Filler(kSector - 2 - app1.size(), 0x01) + thumb_;
    app1[2] = static_cast<char>((app1.size() - 2) >> 8);
    app1[3] = static_cast<char>((app1.size() - 2) & 0xFF);
    return photo_.substr(0, 2) + app1 + photo_.substr(2);
  }

  JpegVerdict Judge(const std::string& bytes) {
    ImageBuilder image;
    image.Place(bytes);
    image.RandomTail(3);
    SectorSource source;
    AttachBytes(source, image.bytes());
    CarveContext context;
    PointContext(context, source, 0);
    return CheckJpegDecodes(context, bytes.size());
  }

  std::map<uint64_t, FoundRecord> Sweep(CFileTypeRecovery& engine, const ImageBuilder& image) {
    std::string path = work_ / "jpegs.img";
    WriteFile(path, image.bytes());
    std::map<uint64_t, FoundRecord> bySector;
    for (const FoundRecord& r : CarveImageFile(engine, path, 7)) bySector[uint64_t{r.entrySector}] = r;
    return bySector;
  }

  ScopedDataDir data_;
  TempDir files_, work_;
  std::string photo_, thumb_;
};

TEST_F(JpegDecodeCheck, PhotosAreWholeBrokenOnesDamagedAndNoiseJunk) {
  EXPECT_EQ(Judge(photo_), JpegVerdict::kWhole);
  EXPECT_EQ(Judge(PhotoWithThumbnail()), JpegVerdict::kWhole);
  EXPECT_EQ(Judge(DecodableJpegOf(5000)), JpegVerdict::kWhole);
  std::string cut = photo_.substr(0, photo_.size() / 2);
  EXPECT_EQ(Judge(cut), JpegVerdict::kDamaged) << "data that breaks off";
  std::string header = photo_.substr(0, 20);  // start of image and JFIF block only
  EXPECT_EQ(Judge(header + PseudoRandomBytes(6000, 4)), JpegVerdict::kJunk);
  EXPECT_EQ(Judge(JpegOf(3000)), JpegVerdict::kJunk) << "no frame at all";
}

TEST_F(JpegDecodeCheck, SweepKeepsPhotosMarksBrokenOnesAndDropsJunk) {
  ImageBuilder image;
  image.RandomSectors(4, 1);
  const std::string withThumbnail = PhotoWithThumbnail();
  uint64_t whole = image.Place(withThumbnail);
  image.ZeroSectors(2);
  uint64_t junk = image.Place(photo_.substr(0, 20) + PseudoRandomBytes(3000, 5));
  image.ZeroSectors(2);
  uint64_t broken = image.Place(photo_.substr(0, photo_.size() / 2));
  image.ZeroSectors(3);
  image.RandomSectors(4, 2);
  CFileTypeRecovery engine;
  auto records = Sweep(engine, image);
  ASSERT_TRUE(records.count(whole));
  EXPECT_EQ(+records[whole].contentOk, 1u);
  EXPECT_EQ(uint64_t{records[whole].fileSize}, withThumbnail.size()) << "the thumbnail ends nothing";
  std::string target = work_ / "out/photo.jpg";
  ASSERT_EQ(engine.RecoverItem(&records[whole], target, 0), 0);
  EXPECT_TRUE(ReadFile(target) == withThumbnail);
  EXPECT_FALSE(records.count(junk));
  ASSERT_TRUE(records.count(broken));
  EXPECT_EQ(+records[broken].contentOk, 0u);
}

}  // namespace
}  // namespace salvora::test
