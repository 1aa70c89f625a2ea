// The edges of the structure walks on hand-made disks: a valid structure
// outranks a signature inside it, a structure that does not hold together
// leaves the size to the table's rule, sizes never pass the end of the
// source, and a cancel during a walk stores nothing.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "carving/IdentifyAndMeasure.h"
#include "platform/ErrorCodes.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

std::string Be16Bytes(uint16_t value) { return Bytes({value >> 8, value & 0xFF}); }

std::string Segment(uint8_t marker, const std::string& payload) {
  return Bytes({0xFF, marker}) + Be16Bytes(static_cast<uint16_t>(payload.size() + 2)) + payload;
}

// A JPEG of one baseline scan whose Exif block carries `inside`, placed so
// that it starts `insideAt` bytes into the file.
std::string JpegCarrying(const std::string& inside, size_t insideAt, size_t scanBytes) {
  std::string head = Bytes({0xFF, 0xD8}) + Bytes({0xFF, 0xE1, 0, 0}) + "Exif" + Bytes({0, 0});
  head += Filler(insideAt - head.size(), 0x01) + inside;
  std::string app1 = head.substr(2);
  app1[2] = static_cast<char>((app1.size() - 2) >> 8);
  app1[3] = static_cast<char>((app1.size() - 2) & 0xFF);
  std::string frame = Segment(0xC0, Bytes({8, 0, 16, 0, 16, 1, 1, 0x11, 0}));
  std::string scan = Segment(0xDA, Bytes({1, 1, 0, 0, 0x3F, 0}));
  std::string entropy = Filler(scanBytes, 0x5A) + Bytes({0xFF, 0x00}) + Filler(10, 0x5A);
  return Bytes({0xFF, 0xD8}) + app1 + frame + scan + entropy + Bytes({0xFF, 0xD9});
}

std::string Box(const char* type, const std::string& payload) {
  return Be32Bytes(static_cast<uint32_t>(payload.size() + 8)) + type + payload;
}

std::string Le16Bytes(uint16_t value) { return Bytes({value & 0xFF, value >> 8}); }

// A ZIP archive that stores its members as they are.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string local, central;
  for (const auto& [name, data] : members) {
    std::string sizes = Le32Bytes(0) + Le32Bytes(static_cast<uint32_t>(data.size())) +
                        Le32Bytes(static_cast<uint32_t>(data.size())) +
                        Le16Bytes(static_cast<uint16_t>(name.size())) + Le16Bytes(0);
    central += "PK" + Bytes({1, 2, 20, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0}) + sizes + Le16Bytes(0) +
               Le16Bytes(0) + Le16Bytes(0) + Le32Bytes(0) +
               Le32Bytes(static_cast<uint32_t>(local.size())) + name;
    local += "PK" + Bytes({3, 4, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0}) + sizes + name + data;
  }
  uint16_t count = static_cast<uint16_t>(members.size());
  return local + central + "PK" + Bytes({5, 6, 0, 0, 0, 0}) + Le16Bytes(count) + Le16Bytes(count) +
         Le32Bytes(static_cast<uint32_t>(central.size())) +
         Le32Bytes(static_cast<uint32_t>(local.size())) + Le16Bytes(0);
}

TEST(StructureWalks, AValidStructureOutranksASignatureInsideIt) {
  // A ZIP that stores a picture whose data starts on a sector boundary.
  std::string pad = Filler(1024 - 2 * 30 - 7 - 5, 0x41);
  std::string zip = StoredZip({{"pad.bin", pad}, {"p.jpg", JpegOf(900)}});
  ImageBuilder withJpeg;
  withJpeg.Place(zip);
  withJpeg.RandomTail(7);
  withJpeg.RandomSectors(2, 8);
  EXPECT_EQ(MeasureAt(withJpeg.bytes(), 0), zip.size());

  // A thumbnail, end marker and all, that starts on a sector boundary.
  std::string jpeg = JpegCarrying(JpegOf(700), 512, 3000);
  ImageBuilder withThumbnail;
  withThumbnail.Place(jpeg);
  withThumbnail.RandomTail(1);
  withThumbnail.RandomSectors(3, 2);
  EXPECT_EQ(MeasureAt(withThumbnail.bytes(), 0), jpeg.size());

  // A movie whose media data holds a PNG at a sector boundary.
  std::string ftyp = Box("ftyp", "isom" + Be32Bytes(512) + "isommp41");
  std::string media = Filler(1024 - ftyp.size() - 8, 0x31) + PngOf(900) + Filler(700, 0x32);
  std::string movie = ftyp + Box("mdat", media) + Box("moov", Filler(40, 0x33));
  ImageBuilder withPicture;
  withPicture.Place(movie);
  withPicture.RandomTail(3);
  withPicture.RandomSectors(3, 4);
  EXPECT_EQ(MeasureAt(withPicture.bytes(), 0), movie.size());
}

TEST(StructureWalks, BrokenStructuresKeepTheTableRule) {
  // A movie without a movie box: the table's rule ends it at the picture.
  std::string ftyp = Box("ftyp", "isom" + Be32Bytes(512) + "isommp41");
  std::string media = Filler(1024 - ftyp.size() - 8, 0x31) + PngOf(900);
  ImageBuilder noMovie;
  noMovie.Place(ftyp + Box("mdat", media) + Box("free", Filler(40, 0x33)));
  noMovie.RandomSectors(3, 5);
  EXPECT_EQ(MeasureAt(noMovie.bytes(), 0), 1024u);

  // A JPEG whose scan ends in a marker no JPEG has: the table's rule takes
  // the first end marker that counts.
  std::string jpeg = JpegCarrying("", 20, 1500);
  jpeg[jpeg.size() - 1] = 0x02;
  ImageBuilder noEnd;
  noEnd.Place(jpeg + Filler(600, 0x5A) + Bytes({0xFF, 0xD9}));
  const uint64_t expected = jpeg.size() + 600 + 2;
  EXPECT_EQ(MeasureAt(noEnd.bytes(), 0), expected);

  // A gzip member whose data is damaged runs on to the next file.
  std::string gzip = Bytes({0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 3}) + Filler(1500, 0x07);
  ImageBuilder damaged;
  damaged.Place(gzip);
  damaged.Place(PngOf(600));
  EXPECT_EQ(MeasureAt(damaged.bytes(), 0), 1536u);
}

std::string SqliteHeader(uint32_t pages, uint32_t validFor) {
  std::string header =
      std::string("SQLite format 3", 16) + Be16Bytes(512) + Bytes({1, 1, 0, 64, 32, 32});
  header += Be32Bytes(7) + Be32Bytes(pages) + Filler(92 - 32, 0) + Be32Bytes(validFor);
  return header + Filler(512 - header.size(), 0);
}

TEST(StructureWalks, HeaderSizesHoldOnlyWhenValidAndNeverPassTheSource) {
  ImageBuilder image;
  image.Place(SqliteHeader(4, 7) + Filler(3 * 512, 0x61));
  image.RandomSectors(2, 6);
  image.Place(PngOf(600));
  image.RandomSectors(2, 7);
  EXPECT_EQ(MeasureAt(image.bytes(), 0), 4u * 512);

  // A page count the change counter no longer vouches for: the table's rule.
  std::string stale = image.bytes();
  stale.replace(0, 512, SqliteHeader(4, 6));
  EXPECT_EQ(MeasureAt(stale, 0), 6u * 512);

  // More pages than the disk holds: the file ends with the disk.
  std::string huge = image.bytes();
  huge.replace(0, 512, SqliteHeader(100000, 7));
  EXPECT_EQ(MeasureAt(huge, 0), huge.size());
}

int CancelAlways(void*, int32_t, int32_t, int32_t, uint64_t, uint64_t, uint64_t, int32_t) {
  return kCancelled;
}

TEST(StructureWalks, ACancelDuringAWalkEndsTheMeasuring) {
  ImageBuilder image;
  image.Place(JpegCarrying("", 20, 400000));
  SectorSource source;
  AttachBytes(source, image.bytes());
  CarveContext context;
  PointContext(context, source, 0);
  context.onScan = CancelAlways;
  CarvedFile found;
  std::string first = image.bytes().substr(0, kSector);
  EXPECT_EQ(IdentifyAndMeasure(context, reinterpret_cast<const uint8_t*>(first.data()), kSector,
                               {0, 0, 1000, -1, 0}, found),
            kCancelled);
}

}  // namespace
}  // namespace salvora::test
