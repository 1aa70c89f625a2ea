// Telling file-system structures from file data: FAT directory sectors on a
// volume made by the real tools, NTFS structures and boot sectors.
#include <gtest/gtest.h>

#include "deep/FatDirectorySector.h"
#include "deep/FileSystemMetadata.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

const uint8_t* U8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

class FatDirectorySector : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveCommand("mkfs.fat") || !HaveCommand("mcopy")) GTEST_SKIP() << "no dosfstools/mtools";
    std::string image = dir_ / "floppy.img";
    MustRun("mkfs.fat -C -F 12 -n CARVE " + Quote(image) + " 1440 >/dev/null");
    WriteFile(dir_ / "A rather long file name.txt", "hello");
    WriteFile(dir_ / "SHORT.TXT", "short");
    MustRun("MTOOLS_NO_VFAT=0 mcopy -i " + Quote(image) + " " +
            Quote(dir_ / "A rather long file name.txt") + " " + Quote(dir_ / "SHORT.TXT") + " ::/");
    image_ = ReadFile(image);
  }
  std::string SectorAt(uint64_t sector) const { return image_.substr(sector * kSector, kSector); }

  TempDir dir_;
  std::string image_;
};

TEST_F(FatDirectorySector, RootDirectoryPassesAndDamagedCopiesFail) {
  const uint64_t rootSector = 19;  // boot sector, two FATs of nine sectors
  std::string root = SectorAt(rootSector);
  EXPECT_TRUE(IsFatDirectorySector(U8(root), kSector));
  EXPECT_TRUE(IsFileSystemMetadataSector(U8(root), kSector));
  std::string boot = SectorAt(0);  // mkfs.fat writes its own OEM name
  EXPECT_FALSE(IsFileSystemMetadataSector(U8(boot), kSector));
  boot.replace(3, 8, "MSWIN4.1");
  EXPECT_TRUE(IsFileSystemMetadataSector(U8(boot), kSector));

  std::string badChecksum = root;
  for (size_t at = 0; at < kSector; at += 32)
    if (static_cast<uint8_t>(badChecksum[at + 11]) == 0x0F) badChecksum[at + 13] ^= 0x5A;
  EXPECT_FALSE(IsFatDirectorySector(U8(badChecksum), kSector));

  std::string trailingNoise = root;
  trailingNoise[kSector - 1] = 'x';
  EXPECT_FALSE(IsFatDirectorySector(U8(trailingNoise), kSector));

  std::string empty(kSector, '\0');
  EXPECT_FALSE(IsFatDirectorySector(U8(empty), kSector));
  for (uint64_t seed = 0; seed < 200; ++seed) {
    std::string noise = PseudoRandomBytes(kSector, seed);
    EXPECT_FALSE(IsFatDirectorySector(U8(noise), kSector));
  }
}

TEST_F(FatDirectorySector, EndsACarvedFileBeforeIt) {
  ImageBuilder image;
  image.Place("II" + Bytes({0x2A, 0x00}) + Filler(5 * 512 - 4, 0x55));
  image.Place(SectorAt(19));
  image.RandomSectors(2, 1);
  EXPECT_EQ(MeasureAt(image.bytes(), 0, nullptr, IsFileSystemMetadataSector), 5u * 512);
}

TEST(MetadataSectors, EndACarvedFileBeforeThem) {
  for (const std::string& metadata :
       {"FILE0" + Filler(600, 0x01), Bytes({0xEB, 0x58, 0x90}) + "MSWIN4.1" + Filler(500, 0)}) {
    ImageBuilder image;
    image.Place("II" + Bytes({0x2A, 0x00}) + Filler(2 * 512 - 4, 0x55));
    image.Place(metadata);
    image.RandomSectors(2, 3);
    EXPECT_EQ(MeasureAt(image.bytes(), 0, nullptr, IsFileSystemMetadataSector), 2u * 512);
  }
}

TEST(MetadataSectors, NtfsStructuresAndBootSectorsAreRecognised) {
  auto sector = [](const std::string& start) {
    std::string s = start + PseudoRandomBytes(kSector - start.size(), 5);
    return s;
  };
  const std::string utf16Ntfs = Bytes({'N', 0, 'T', 0, 'F', 0, 'S', 0});
  std::string restart = sector("RSTR");
  EXPECT_FALSE(IsFileSystemMetadataSector(U8(restart), kSector));
  restart.replace(300, utf16Ntfs.size(), utf16Ntfs);
  EXPECT_TRUE(IsFileSystemMetadataSector(U8(restart), kSector));
  EXPECT_TRUE(IsFileSystemMetadataSector(U8(sector("FILE0")), kSector));
  EXPECT_TRUE(IsFileSystemMetadataSector(U8(sector("INDX(")), kSector));
  EXPECT_TRUE(
      IsFileSystemMetadataSector(U8(sector(Bytes({'$', 0, 'S', 0, 'T', 0, 'A', 0}))), kSector));
  EXPECT_TRUE(
      IsFileSystemMetadataSector(U8(sector(Bytes({0xEB, 0x52, 0x90}) + "NTFS    ")), kSector));
  EXPECT_FALSE(IsFileSystemMetadataSector(U8(sector("FILE")), 16));
}

}  // namespace
}  // namespace salvora::test
