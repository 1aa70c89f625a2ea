// Files of today's phones and cameras, made by the real encoders, found in
// a sector-by-sector sweep with the name of their own format and
// recovered byte for byte; camera raw pictures built on TIFF, told apart by
// what their first directory says.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"
#include "carving/FileTypeRecovery.h"
#include "carving/SignatureTable.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

struct Placed {
  std::string file;
  std::string extension;
  uint64_t sector;
  std::string bytes;
};

const char* const kModernFiles[][2] = {
    {"photo.heic", "heic"}, {"photo.avif", "avif"},   {"photo.webp", "webp"}, {"tone.flac", "flac"},
    {"voice.opus", "opus"}, {"bare.mp3", "mp3"},      {"clip41.mp4", "mp4"},  {"clipavc.mp4", "mp4"},
    {"clip.m4v", "m4v"},    {"clip.3g2", "3gp"},      {"song.m4a", "m4a"},
};
const char* const kStoredArchives[] = {"rar5_stored.rar", "rar5_compressed.rar"};

bool HaveEncoders() {
  for (const char* tool : {"convert", "ffmpeg", "heif-enc", "avifenc", "cwebp", "flac", "opusenc"})
    if (!HaveCommand(tool)) return false;
  return true;
}

std::string DataFile(const std::string& name) {
  return ReadFile(std::string(SALVORA_SOURCE_DIR) + "/tests/carving/data/" + name);
}

class ModernFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveEncoders()) GTEST_SKIP() << "the encoders of today's formats are not installed";
    MustRun("bash " + std::string(SALVORA_SOURCE_DIR) + "/tests/carving/make_modern_files.sh " +
            Quote(files_.path()));
  }

  // Lays the files out with zeros and noise between them; sweeps the image.
  std::map<uint64_t, FoundRecord> SweepPlaced(CFileTypeRecovery& engine) {
    ImageBuilder image;
    image.RandomSectors(20, 3);
    int gap = 0;
    for (Placed& p : placed_) {
      p.sector = image.Place(p.bytes);
      if (++gap % 2)
        image.ZeroSectors(gap % 3 + 1);
      else
        image.RandomSectors(gap % 4 + 1, 200 + gap);
    }
    image.RandomSectors(20, 4);
    return Sweep(engine, image);
  }

  std::map<uint64_t, FoundRecord> Sweep(CFileTypeRecovery& engine, const ImageBuilder& image) {
    std::string path = work_ / "modern.img";
    WriteFile(path, image.bytes());
    std::map<uint64_t, FoundRecord> bySector;
    for (const FoundRecord& r : CarveImageFile(engine, path, 7)) bySector[uint64_t{r.entrySector}] = r;
    return bySector;
  }

  std::string Recover(CFileTypeRecovery& engine, const FoundRecord& record) {
    std::string target = out_ / ("deep/" + std::string(record.name));
    EXPECT_EQ(engine.RecoverItem(&record, target, 0), 0);
    return ReadFile(target);
  }

  ScopedDataDir data_;
  TempDir files_, work_, out_;
  std::vector<Placed> placed_;
};

TEST_F(ModernFormats, EveryFileIsFoundUnderItsOwnNameAndRecoveredWhole) {
  for (const auto& [file, extension] : kModernFiles)
    placed_.push_back({file, extension, 0, ReadFile(files_ / file)});
  for (const char* archive : kStoredArchives) placed_.push_back({archive, "rar", 0, DataFile(archive)});
  CFileTypeRecovery engine;
  auto records = SweepPlaced(engine);
  for (const Placed& p : placed_) {
    SCOPED_TRACE(p.file);
    ASSERT_FALSE(p.bytes.empty());
    auto it = records.find(p.sector);
    ASSERT_NE(it, records.end());
    EXPECT_STREQ(it->second.name, (std::to_string(p.sector) + "." + p.extension).c_str());
    EXPECT_EQ(+it->second.contentOk, 1u);
    EXPECT_EQ(+it->second.fileSize, p.bytes.size());
    EXPECT_TRUE(Recover(engine, it->second) == p.bytes) << "recovered bytes differ";
  }
}

// A recording written as a stream never states its size: it is kept up to
// where the next file starts, or where the disk holds only zeros, and is
// marked as one whose length is a guess rather than carved as 4 GiB.
TEST_F(ModernFormats, StreamedRecordingEndsWhereItsAudioDoes) {
  std::string streamed = ReadFile(files_ / "streamed.wav");
  std::string picture = DataFile("rar5_stored.rar");
  ImageBuilder image;
  uint64_t beforeArchive = image.Place(streamed);
  uint64_t archive = image.Place(picture);
  uint64_t beforeZeros = image.Place(streamed);
  image.ZeroSectors(400);
  image.RandomSectors(4, 9);
  CFileTypeRecovery engine;
  auto records = Sweep(engine, image);
  for (uint64_t start : {beforeArchive, beforeZeros}) {
    auto it = records.find(start);
    ASSERT_NE(it, records.end());
    EXPECT_EQ(+it->second.contentOk, 0u) << "the length is a guess";
    std::string recovered = Recover(engine, it->second);
    EXPECT_EQ(recovered.substr(0, streamed.size()), streamed);
    EXPECT_LT(recovered.size(), streamed.size() + kScanBufferBytes + kSector);
  }
  EXPECT_EQ(uint64_t{records.at(beforeArchive).fileSize}, (archive - beforeArchive) * kSector);
}

// Little-endian TIFF pieces for the camera raw pictures below.
std::string Le16Bytes(uint16_t v) { return std::string{char(v & 0xFF), char(v >> 8)}; }
std::string Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
  return Le16Bytes(tag) + Le16Bytes(type) + Le32Bytes(count) + Le32Bytes(value);
}

// A raw picture: header (with `afterHeader` bytes before its directory),
// a first directory naming the maker and one strip of `stripBytes`.
std::string RawPicture(const std::string& magic, const std::string& afterHeader,
                       const std::string& maker, bool dngVersion, uint32_t stripBytes) {
  const uint32_t directory = 8 + static_cast<uint32_t>(afterHeader.size());
  const uint16_t entries = dngVersion ? 4 : 3;
  const uint32_t makerAt = directory + 2 + 12 * entries + 4;
  const uint32_t stripAt = makerAt + static_cast<uint32_t>(maker.size()) + 1;
  std::string tiff = magic + Le32Bytes(directory) + afterHeader + Le16Bytes(entries);
  tiff += Entry(271, 2, static_cast<uint32_t>(maker.size()) + 1, makerAt);
  tiff += Entry(273, 4, 1, stripAt) + Entry(279, 4, 1, stripBytes);
  if (dngVersion) tiff += Entry(50706, 1, 4, 0x00000401);
  tiff += Le32Bytes(0) + maker + std::string(1, '\0');
  for (uint32_t i = 0; i < stripBytes; ++i) tiff.push_back(static_cast<char>(i * 7 + 1));
  return tiff;
}

TEST(CameraRaw, TiffBasedPicturesAreToldApartAndMeasuredByTheirDirectories) {
  const std::string little = "II*" + std::string(1, '\0');
  struct Case {
    std::string picture;
    const char* extension;
  } cases[] = {
      {RawPicture(little, "CR" + Bytes({2, 0, 0, 0, 0, 0}), "Canon", false, 3000), "cr2"},
      {RawPicture(little, "", "NIKON CORPORATION", false, 2500), "nef"},
      {RawPicture(little, "", "SONY", false, 2100), "arw"},
      {RawPicture(little, "", "NIKON CORPORATION", true, 1900), "dng"},
      {RawPicture("IIRO", "", "OLYMPUS IMAGING CORP.", false, 1700), "orf"},
      {RawPicture(little, "", "PENTAX", false, 1500), "tif"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extension);
    ImageBuilder image;
    image.Place(c.picture);
    image.RandomTail(5);
    image.RandomSectors(30, 6);
    std::string name;
    EXPECT_EQ(MeasureAt(image.bytes(), 0, &name), c.picture.size());
    EXPECT_EQ(name, std::string("0.") + c.extension);
  }
}

// The first directory of a raw picture may lie past the first sector; the
// maker is then read from the disk.
TEST(CameraRaw, MakerBeyondTheFirstSectorIsRead) {
  const std::string little = "II*" + std::string(1, '\0');
  std::string picture = RawPicture(little, std::string(900, '\x11'), "SONY", false, 800);
  std::string name;
  EXPECT_EQ(MeasureAt(picture + std::string(4096, '\0'), 0, &name), picture.size());
  EXPECT_EQ(name, "0.arw");
}

std::string Box(const std::string& type, const std::string& payload) {
  return Be32Bytes(static_cast<uint32_t>(payload.size() + 8)) + type + payload;
}

// Every brand a writer may put in the type box finds a row, and the file
// ends after its last top-level box: movies need their movie box, still
// pictures their item box.
TEST(IsoBrands, EveryBrandIsNamedAndMeasuredByItsBoxes) {
  const struct {
    std::string brands;  // major brand, then compatible ones
    const char* extension;
    bool still;
  } cases[] = {
      {"mp41mp41isom", "mp4", false}, {"avc1avc1isom", "mp4", false}, {"dashiso6mp41", "mp4", false},
      {"isomisomiso2", "mp4", false}, {"M4V M4V mp42", "m4v", false}, {"M4A M4A mp42", "m4a", false},
      {"3g2a3g2aisom", "3gp", false}, {"3gp53gp5isom", "3gp", false}, {"qt  qt  ", "mov", false},
      {"crx crx isom", "cr3", false}, {"heicmif1heic", "heic", true}, {"mif1mif1heic", "heic", true},
      {"mif1mif1avif", "avif", true}, {"avifavifmif1", "avif", true}, {"msf1msf1heic", "heic", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.brands);
    std::string ftyp = Box("ftyp", c.brands.substr(0, 4) + Be32Bytes(0) + c.brands.substr(4));
    std::string body = c.still ? Box("meta", Filler(300, 0x21)) : Box("moov", Filler(300, 0x22));
    std::string file = ftyp + body + Box("mdat", Filler(2000, 0x23));
    ImageBuilder image;
    image.Place(file);
    image.RandomTail(11);
    image.RandomSectors(8, 12);
    std::string name;
    EXPECT_EQ(MeasureAt(image.bytes(), 0, &name), file.size());
    EXPECT_EQ(name, std::string("0.") + c.extension);
  }
}

// Eleven set bits start a frame header and show up in every kind of
// compressed data; one header before noise is not an MP3, six frames in a
// row are.
TEST(UntaggedMp3, OnlyARunOfFramesMakesAFile) {
  auto frames = [](int count) {
    std::string run;
    for (int i = 0; i < count; ++i) {  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz: 417 bytes
      std::string frame = Bytes({0xFF, 0xFB, 0x90, 0x64});
      frame.resize(417, static_cast<char>(0x55 + i));
      run += frame;
    }
    return run;
  };
  CarveContext context;
  for (int count : {1, 5, 6, 12}) {
    ImageBuilder image;
    image.Place(frames(count));
    image.RandomTail(8);
    image.RandomSectors(20, 9);
    SectorSource source;
    AttachBytes(source, image.bytes());
    PointContext(context, source, 0);
    const auto* first = reinterpret_cast<const uint8_t*>(image.bytes().data());
    EXPECT_EQ(DetectMp3Frames(context, first, kSector), count >= 6 ? kTypeMp3Frames : kTypeNone)
        << count;
    if (count >= 6) {
      EXPECT_EQ(MeasureAt(image.bytes(), 0), 417u * count);
    }
  }
}

}  // namespace
}  // namespace salvora::test
