#include "carving/CarvingFixtures.h"

#include <cstring>

#include "carving/IdentifyAndMeasure.h"
#include "support/TestSupport.h"

namespace salvora::test {

long long MemoryFile::ReadAt(void* buffer, size_t length, uint64_t offset) {
  if (offset >= bytes_.size()) return 0;
  uint64_t first = offset / kSector;
  uint64_t last = (offset + length - 1) / kSector;
  if (badSector >= first && badSector <= last) return -5;
  size_t n = std::min<uint64_t>(length, bytes_.size() - offset);
  std::memcpy(buffer, bytes_.data() + offset, n);
  return static_cast<long long>(n);
}

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

void PointContext(CarveContext& context, SectorSource& source, uint64_t start) {
  context.sectorSize = kSector;
  context.source = &source;
  context.fileStartSector = start;
  context.cursorSector = start;
}

uint64_t MeasureAt(const std::string& image, uint64_t start, std::string* name) {
  SectorSource source;
  AttachBytes(source, image);
  CarveContext context;
  PointContext(context, source, start);
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

std::string Le32Bytes(uint32_t value) {
  return Bytes({static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF), static_cast<int>(value >> 24)});
}

std::string Be32Bytes(uint32_t value) {
  return Bytes({static_cast<int>(value >> 24), static_cast<int>((value >> 16) & 0xFF),
                static_cast<int>((value >> 8) & 0xFF), static_cast<int>(value & 0xFF)});
}

}  // namespace salvora::test
