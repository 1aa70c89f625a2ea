#include "support/CarvingFixtures.h"

#include <cstring>

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

void ImageBuilder::RandomSectors(size_t count, uint64_t seed) {
  image_.resize(NextSector() * kSector, '\0');
  image_ += PseudoRandomBytes(count * kSector, seed);
}

void ImageBuilder::RandomTail(uint64_t seed) {
  image_ += PseudoRandomBytes(NextSector() * kSector - image_.size(), seed);
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
