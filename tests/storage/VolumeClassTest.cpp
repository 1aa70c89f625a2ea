#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/ErrorCodes.h"
#include "storage/EngineSelection.h"
#include "storage/VolumeClass.h"
#include "support/ReadFaults.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

std::vector<uint8_t> Probe(const std::string& path) {
  std::string bytes = test::ReadFile(path);
  bytes.resize(kProbeBytes);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

VolumeClass ClassOf(const std::string& path) {
  auto probe = Probe(path);
  return ClassifyVolume(probe.data(), probe.size());
}

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

// A FAT16 boot sector as mkfs would write it.
std::vector<uint8_t> Fat16BootSector() {
  std::vector<uint8_t> b(kProbeBytes, 0);
  Put16(b, 11, 512);
  b[13] = 4;
  Put16(b, 14, 4);
  b[16] = 2;
  Put16(b, 17, 512);
  Put16(b, 19, 0);
  Put32(b, 32, 200000);
  Put16(b, 22, 200);
  b[510] = 0x55;
  b[511] = 0xAA;
  return b;
}

TEST(VolumeClass, RealFileSystemsAreRecognised) {
  if (!test::HaveCommand("mkfs.fat") || !test::HaveCommand("mkntfs") ||
      !test::HaveCommand("mkfs.ext4"))
    GTEST_SKIP() << "mkfs.fat, mkntfs and mkfs.ext4 are needed to make the images";
  test::TempDir dir;
  test::MustRun("mkfs.fat -C -F 12 " + Quote(dir / "f12.img") + " 1440 >/dev/null");
  test::MustRun("mkfs.fat -C -F 16 " + Quote(dir / "f16.img") + " 32768 >/dev/null");
  test::MustRun("mkfs.fat -C -F 32 " + Quote(dir / "f32.img") + " 70000 >/dev/null");
  // Below 65536 sectors mkfs.fat stores the count in the 16-bit field.
  test::MustRun("mkfs.fat -C -F 32 " + Quote(dir / "f32small.img") + " 20480 >/dev/null 2>&1");
  test::MustRun("truncate -s 16M " + Quote(dir / "n.img") + " && mkntfs -F -Q -q " +
                Quote(dir / "n.img") + " >/dev/null 2>&1");
  test::MustRun("truncate -s 16M " + Quote(dir / "e.img") + " && mkfs.ext4 -q -F " +
                Quote(dir / "e.img"));
  EXPECT_EQ(ClassOf(dir / "f12.img"), VolumeClass::kFat);
  EXPECT_EQ(ClassOf(dir / "f16.img"), VolumeClass::kFat);
  EXPECT_EQ(ClassOf(dir / "f32.img"), VolumeClass::kFat);
  EXPECT_EQ(ClassOf(dir / "f32small.img"), VolumeClass::kFat);
  EXPECT_EQ(ClassOf(dir / "n.img"), VolumeClass::kNtfs);
  EXPECT_EQ(ClassOf(dir / "e.img"), VolumeClass::kExt);
}

TEST(VolumeClass, CraftedBootSectors) {
  auto fat = Fat16BootSector();
  EXPECT_EQ(ClassifyVolume(fat.data(), fat.size()), VolumeClass::kFat);

  auto encrypted = fat;
  std::memcpy(&encrypted[3], "-FVE-FS-", 8);
  EXPECT_EQ(ClassifyVolume(encrypted.data(), encrypted.size()), VolumeClass::kOther);

  auto badCluster = fat;
  badCluster[13] = 3;  // not a power of two
  EXPECT_EQ(ClassifyVolume(badCluster.data(), badCluster.size()), VolumeClass::kOther);

  auto noSignature = fat;
  noSignature[511] = 0;
  EXPECT_EQ(ClassifyVolume(noSignature.data(), noSignature.size()), VolumeClass::kOther);

  // A boot sector that passes both tests is NTFS: it is tested first.
  auto both = fat;
  std::memcpy(&both[3], "NTFS    ", 8);
  Put16(both, 14, 0);
  both[16] = 0;
  Put16(both, 17, 0);
  Put16(both, 22, 0);
  Put32(both, 32, 0);
  uint64_t total = 100000;
  std::memcpy(&both[40], &total, 8);
  EXPECT_EQ(ClassifyVolume(both.data(), both.size()), VolumeClass::kNtfs);

  std::vector<uint8_t> zeros(kProbeBytes, 0);
  EXPECT_EQ(ClassifyVolume(zeros.data(), zeros.size()), VolumeClass::kOther);
  // Garbage that would divide by zero or underflow.
  auto hostile = fat;
  Put16(hostile, 11, 0);
  EXPECT_EQ(ClassifyVolume(hostile.data(), hostile.size()), VolumeClass::kOther);
  auto huge = fat;
  Put16(huge, 22, 0xFFFF);
  EXPECT_NO_FATAL_FAILURE(ClassifyVolume(huge.data(), huge.size()));
}

TEST(EngineSelection, ExtGetsThePlaceholderAndUnknownGetsNothingInQuickMode) {
  if (!test::HaveCommand("mkfs.ext4")) GTEST_SKIP() << "mkfs.ext4 is needed";
  test::ScopedDataDir data;
  test::TempDir dir;
  test::MustRun("truncate -s 16M " + Quote(dir / "e.img") + " && mkfs.ext4 -q -F " +
                Quote(dir / "e.img"));
  SelectionResult ext = CreateImageEngine(dir / "e.img", 1, false);
  ASSERT_TRUE(ext.engine);
  EXPECT_EQ(ext.engine->Scan(nullptr), 0);
  EXPECT_EQ(ext.engine->GetRecordCount(), 0u);

  test::WriteFile(dir / "random.img", test::PseudoRandomBytes(1 << 20, 9));
  SelectionResult other = CreateImageEngine(dir / "random.img", 1, false);
  EXPECT_FALSE(other.engine);
  EXPECT_FALSE(other.message.empty());

  test::WriteFile(dir / "short.img", std::string(kProbeBytes - 1, '\0'));
  SelectionResult shortImage = CreateImageEngine(dir / "short.img", 1, false);
  EXPECT_FALSE(shortImage.engine);
  EXPECT_EQ(shortImage.error, kReadFault);
  EXPECT_FALSE(CreateImageEngine(dir / "short.img", 1, true).engine) << "too short for a deep scan";
}

// A disk whose first sectors fail gets no quick engine, but a deep scan can
// still search it sector by sector.
TEST(EngineSelection, UnreadableFirstSectorsStillAllowADeepScan) {
  test::ScopedDataDir data;
  test::TempDir dir;
  test::WriteFile(dir / "disk.img", test::PseudoRandomBytes(1 << 20, 3));
  test::FaultPlan plan;
  plan.badSectors = {1};
  test::ReadFaults faults(plan);
  SelectionResult quick = CreateImageEngine(dir / "disk.img", 1, false);
  EXPECT_FALSE(quick.engine);
  EXPECT_EQ(quick.error, kReadFault);
  SelectionResult deep = CreateImageEngine(dir / "disk.img", 1, true);
  ASSERT_TRUE(deep.engine);
  EXPECT_EQ(deep.engine->Scan(nullptr), kReadFault) << "the scan ends, telling of the bad sector";
}

}  // namespace
}  // namespace salvora
