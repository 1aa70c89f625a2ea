#pragma once
// Hand-made disks for the carving and deep-scan tests: images held in memory, built from
// pieces laid at sector boundaries.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "carving/CarveContext.h"
#include "carving/FileTypeRecovery.h"
#include "platform/MemoryFile.h"
#include "storage/SectorSource.h"

namespace salvora::test {

constexpr uint32_t kSector = 512;

// Puts the bytes (padded to whole sectors) in place as the source; returns
// the file so a test can mark a bad sector.
MemoryFile& AttachBytes(SectorSource& source, std::string bytes);

// An image built front to back.
class ImageBuilder {
 public:
  // Appends the bytes at the next sector boundary, zero-padding the last
  // sector; returns the sector where they start.
  uint64_t Place(const std::string& bytes);
  // Appends raw bytes right where the image ends (no alignment).
  void Append(const std::string& bytes) { image_ += bytes; }
  void ZeroSectors(size_t count) { image_.append(count * kSector, '\0'); }
  void RandomSectors(size_t count, uint64_t seed);
  // Fills the rest of the last sector with noise.
  void RandomTail(uint64_t seed);
  uint64_t NextSector() const { return (image_.size() + kSector - 1) / kSector; }
  const std::string& bytes() const { return image_; }

 private:
  std::string image_;
};

// `count` sectors of noise from `seed`.
std::string NoiseSectors(size_t count, uint64_t seed);

// An image of noise around `content` cut at the byte offsets `cuts`, with
// gaps[i] placed after the i-th piece; `start` gets the first piece's sector.
std::string SplitImage(const std::string& content, const std::vector<size_t>& cuts,
                       const std::vector<std::string>& gaps, uint64_t& start);

// Opens the image file in `engine` under `sourceTag`, carves all of it and
// lists what was found; a failure to open or carve fails the test.
std::vector<FoundRecord> CarveImageFile(CFileTypeRecovery& engine, const std::string& imagePath,
                                        uint16_t sourceTag = 1);

// A context reading `source`, looking at a candidate at `start`.
void PointContext(CarveContext& context, SectorSource& source, uint64_t start);

// The size the first sector of `image` at `start` measures to, through the
// table's rule for what the sector is; kNoSize when nothing carvable starts.
// `endsCarvedFile` is the metadata test the driving scan would install.
constexpr uint64_t kNoSize = UINT64_MAX;
uint64_t MeasureAt(const std::string& image, uint64_t start, std::string* name = nullptr,
                   MetadataSectorTest endsCarvedFile = nullptr);

std::string Bytes(std::initializer_list<int> values);
inline std::string Filler(size_t length, char byte) { return std::string(length, byte); }
// The bytes zero-padded (or cut) to `length`.
inline std::string Padded(std::string bytes, size_t length = kSector) {
  bytes.resize(length, '\0');
  return bytes;
}
std::string Le32Bytes(uint32_t value);
// A JFIF picture and a PNG of exactly `length` bytes, filler inside.
std::string JpegOf(size_t length);
std::string PngOf(size_t length);
// A JFIF picture of exactly `length` bytes (at least 159) that decodes: an
// 8x8 grey image with comment segments of filler before its tables.
std::string DecodableJpegOf(size_t length);
extern const std::string kPngSignature;
extern const std::string kPngEnd;
std::string Be32Bytes(uint32_t value);

}  // namespace salvora::test
