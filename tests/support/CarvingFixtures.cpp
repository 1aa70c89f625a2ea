#include "support/CarvingFixtures.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>

#include "carving/CarveSweep.h"
#include "carving/IdentifyAndMeasure.h"
#include "support/TestSupport.h"

namespace salvora::test {

MemoryFile& AttachBytes(SectorSource& source, std::string bytes) {
  bytes.resize((bytes.size() + kSector - 1) / kSector * kSector, '\0');
  uint64_t sectors = bytes.size() / kSector;
  auto file = std::make_unique<MemoryFile>(std::move(bytes));
  MemoryFile& ref = *file;
  source.Attach(std::move(file), sectors);
  return ref;
}

uint64_t ImageBuilder::Place(const std::string& bytes) {
  image_.resize(NextSector() * kSector, '\0');
  uint64_t start = NextSector();
  image_ += bytes;
  image_.resize(NextSector() * kSector, '\0');
  return start;
}

std::string NoiseSectors(size_t count, uint64_t seed) {
  ImageBuilder noise;
  noise.RandomSectors(count, seed);
  return noise.bytes();
}

std::string SplitImage(const std::string& content, const std::vector<size_t>& cuts,
                       const std::vector<std::string>& gaps, uint64_t& start) {
  ImageBuilder image;
  image.RandomSectors(8, 1);
  size_t at = 0;
  for (size_t i = 0; i <= cuts.size(); ++i) {
    const size_t end = i < cuts.size() ? cuts[i] : content.size();
    uint64_t sector = image.Place(content.substr(at, end - at));
    if (i == 0) start = sector;
    if (i < cuts.size()) image.Place(gaps[i]);
    at = end;
  }
  image.RandomSectors(8, 9);
  return image.bytes();
}

void ImageBuilder::RandomSectors(size_t count, uint64_t seed) {
  image_.resize(NextSector() * kSector, '\0');
  image_ += PseudoRandomBytes(count * kSector, seed);
}

void ImageBuilder::RandomTail(uint64_t seed) {
  image_ += PseudoRandomBytes(NextSector() * kSector - image_.size(), seed);
}

std::vector<FoundRecord> CarveImageFile(CFileTypeRecovery& engine, const std::string& imagePath,
                                        uint16_t sourceTag) {
  std::vector<FoundRecord> records;
  EXPECT_EQ(engine.OpenImage(imagePath, sourceTag), 0);
  uint64_t found = 0;
  EXPECT_EQ(CarveWholeSource(engine, engine.Source(), kSector, found), 0);
  engine.ListFolder(nullptr, 0, records);
  return records;
}

void PointContext(CarveContext& context, SectorSource& source, uint64_t start) {
  context.sectorSize = kSector;
  context.source = &source;
  context.fileStartSector = start;
  context.cursorSector = start;
}

uint64_t MeasureAt(const std::string& image, uint64_t start, std::string* name,
                   MetadataSectorTest endsCarvedFile) {
  SectorSource source;
  AttachBytes(source, image);
  CarveContext context;
  PointContext(context, source, start);
  context.endsCarvedFile = endsCarvedFile;
  std::string sector = image.substr(start * kSector, kSector);
  sector.resize(kSector, '\0');
  CarvedFile found;
  int result = IdentifyAndMeasure(context, reinterpret_cast<const uint8_t*>(sector.data()), kSector,
                                  {start, 0, 0, -1, 0}, found);
  if (result != 0) return kNoSize;
  if (name) *name = found.name;
  return found.size;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

const std::string kPngSignature = Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
const std::string kPngEnd = "IEND" + Bytes({0xAE, 0x42, 0x60, 0x82});

std::string JpegOf(size_t length) {
  std::string jpeg = Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10}) + "JFIF" + Bytes({0});
  jpeg += Filler(length - jpeg.size() - 2, 0x11);
  return jpeg + Bytes({0xFF, 0xD9});
}

std::string DecodableJpegOf(size_t length) {
  // An 8x8 mid-grey baseline JPEG as ImageMagick writes it.
  static const std::string kTiny = Bytes(
      {0xff, 0xd8, 0xff, 0xe0, 0x00, 0x10, 0x4a, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00,
       0x01, 0x00, 0x01, 0x00, 0x00, 0xff, 0xdb, 0x00, 0x43, 0x00, 0x10, 0x0b, 0x0c, 0x0e, 0x0c,
       0x0a, 0x10, 0x0e, 0x0d, 0x0e, 0x12, 0x11, 0x10, 0x13, 0x18, 0x28, 0x1a, 0x18, 0x16, 0x16,
       0x18, 0x31, 0x23, 0x25, 0x1d, 0x28, 0x3a, 0x33, 0x3d, 0x3c, 0x39, 0x33, 0x38, 0x37, 0x40,
       0x48, 0x5c, 0x4e, 0x40, 0x44, 0x57, 0x45, 0x37, 0x38, 0x50, 0x6d, 0x51, 0x57, 0x5f, 0x62,
       0x67, 0x68, 0x67, 0x3e, 0x4d, 0x71, 0x79, 0x70, 0x64, 0x78, 0x5c, 0x65, 0x67, 0x63, 0xff,
       0xc0, 0x00, 0x0b, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00, 0xff, 0xc4, 0x00,
       0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
       0x00, 0x00, 0x00, 0x01, 0xff, 0xc4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xda, 0x00, 0x08,
       0x01, 0x01, 0x00, 0x00, 0x3f, 0x00, 0x1f, 0xff, 0xd9});
  constexpr size_t kHeader = 20;  // start of image and the JFIF block
  constexpr size_t kSegmentHeader = 4, kMaxSegment = kSegmentHeader + 0xFFFD;
  std::string jpeg = kTiny.substr(0, kHeader);
  size_t need = length - kTiny.size();
  while (need >= kSegmentHeader) {
    size_t segment = std::min(need, kMaxSegment);
    if (need - segment > 0 && need - segment < kSegmentHeader) segment -= kSegmentHeader;
    size_t data = segment - kSegmentHeader;
    jpeg += Bytes({0xFF, 0xFE, static_cast<int>((data + 2) >> 8), static_cast<int>((data + 2) & 0xFF)});
    jpeg += Filler(data, 0x11);
    need -= segment;
  }
  jpeg += std::string(need, '\xFF');  // fill bytes before the next marker
  return jpeg + kTiny.substr(kHeader);
}

std::string PngOf(size_t length) {
  return kPngSignature + Filler(length - kPngSignature.size() - kPngEnd.size(), 0x22) + kPngEnd;
}

std::string Le32Bytes(uint32_t value) {
  return Bytes({static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF), static_cast<int>(value >> 24)});
}

std::string Be32Bytes(uint32_t value) {
  return Bytes({static_cast<int>(value >> 24), static_cast<int>((value >> 16) & 0xFF),
                static_cast<int>((value >> 8) & 0xFF), static_cast<int>(value & 0xFF)});
}

}  // namespace salvora::test
