// Files larger than the old caps (a raw picture of 200 MiB) keep the length
// their structure states, bounded by the end of the source only.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include "carving/IdentifyAndMeasure.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

std::string Le16Bytes(uint16_t v) { return Bytes({v & 0xFF, v >> 8}); }

// A TIFF whose one strip of `stripBytes` lies at `stripAt`.
std::string TiffHeaderWithStrip(uint32_t stripAt, uint32_t stripBytes) {
  return "II*" + Bytes({0}) + Le32Bytes(8) + Le16Bytes(2) + Le16Bytes(273) + Le16Bytes(4) +
         Le32Bytes(1) + Le32Bytes(stripAt) + Le16Bytes(279) + Le16Bytes(4) + Le32Bytes(1) +
         Le32Bytes(stripBytes) + Le32Bytes(0);
}

// Measures the file at the start of a sparse image of `imageBytes`.
uint64_t MeasureSparse(const TempDir& dir, const std::string& head, uint64_t imageBytes) {
  std::string path = dir / "large.img";
  int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(::pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
  EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(imageBytes)), 0);
  ::close(fd);
  SectorSource source;
  EXPECT_EQ(source.OpenImage(path), 0);
  CarveContext context;
  PointContext(context, source, 0);
  std::string sector = Padded(head);
  CarvedFile found;
  EXPECT_EQ(IdentifyAndMeasure(context, reinterpret_cast<const uint8_t*>(sector.data()), kSector,
                               {0, 0, 0, -1, 0}, found),
            0);
  return found.size;
}

TEST(LargeFiles, PicturesPastTheOldCapKeepTheirStatedLength) {
  TempDir dir;
  constexpr uint32_t k200MiB = 200u << 20;
  EXPECT_EQ(MeasureSparse(dir, TiffHeaderWithStrip(k200MiB, 1000), 300ull << 20), k200MiB + 1000u);
  // A strip said to lie past the end of the source: the structure cannot
  // hold, and the scan rule ends at its own cap.
  uint64_t beyond = MeasureSparse(dir, TiffHeaderWithStrip(k200MiB, 1000), 150ull << 20);
  EXPECT_LE(beyond, 150ull << 20);
}

}  // namespace
}  // namespace salvora::test
