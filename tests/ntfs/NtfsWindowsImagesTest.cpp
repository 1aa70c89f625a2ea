// Our structure routines on volumes that Windows formatted and wrote: every
// live file read through them equals what ntfs-3g's ntfscat gives.
#include <gtest/gtest.h>

#include <filesystem>

#include "ntfs/NtfsDataCopy.h"
#include "ntfs/NtfsReader.h"
#include "platform/ErrorCodes.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// The images are whole disks whose NTFS partition starts here.
constexpr uint64_t kPartitionSector = 128;
constexpr uint64_t kLargestFileCompared = 64u << 20;

std::string ImageFolder() {
  return (std::filesystem::path(SALVORA_SOURCE_DIR) / "../shared/testdata/windows-ntfs")
      .lexically_normal()
      .string();
}

// An unpacked image with its partition on a read-only loop device.
class UnpackedImage {
 public:
  UnpackedImage(const std::string& name) : image_(dir_ / name) {
    test::MustRun("gzip -dc " + test::Quote(ImageFolder() + "/" + name + ".gz") + " > " +
                  test::Quote(image_));
    std::string output;
    if (test::Run("losetup -r -o " + std::to_string(kPartitionSector * 512) + " -f --show " +
                      test::Quote(image_),
                  &output) == 0)
      loop_ = output.substr(0, output.find('\n'));
    loaded_ = source_.OpenImage(image_);
    if (loaded_ == kOk)
      loaded_ = LoadGeometry(source_, kPartitionSector, source_.SectorCount() - kPartitionSector,
                             geometry_);
  }
  ~UnpackedImage() {
    if (!loop_.empty()) test::Run("losetup -d " + loop_);
  }
  const std::string& image() const { return image_; }
  const std::string& loop() const { return loop_; }
  // Whether the volume's geometry and MFT runs could be read.
  int loaded() const { return loaded_; }
  SectorSource& source() { return source_; }
  const NtfsGeometry& geometry() const { return geometry_; }

 private:
  test::TempDir dir_;
  std::string image_;
  std::string loop_;
  SectorSource source_;
  NtfsGeometry geometry_;
  int loaded_ = kInvalidParameter;
};

struct LiveFile {
  uint32_t record;
  std::string name;
  std::string bytes;
  int result;
};

// The record's name other than its DOS alias.
std::string LongName(const uint8_t* record, size_t bytes) {
  AttributeWalk walk(record, bytes);
  Attribute attribute;
  FileName name;
  while (walk.Next(attribute))
    if (ParseFileName(attribute, name) && name.nameSpace != kNameDos)
      return Utf16LeToUtf8(name.name, name.nameUnits);
  return "";
}

// Every in-use base record of a file with an unnamed $DATA, read by us.
std::vector<LiveFile> ReadLiveFiles(SectorSource& source, const NtfsGeometry& geometry) {
  NtfsReader reader(source, geometry);
  uint64_t mftBytes = 0;
  EXPECT_EQ(reader.ReadDataSize(geometry.mftStart, mftBytes), kOk);
  std::vector<LiveFile> files;
  std::vector<uint8_t> record(kMaxRecordBytes);
  for (uint32_t n = 16; n < mftBytes / static_cast<uint64_t>(geometry.recordBytes); ++n) {
    uint64_t sector = RecordToSector(geometry, n);
    if (reader.ReadRecordAt(sector, record.data()) != kOk) continue;
    RecordHeader header = ReadRecordHeader(record.data());
    if (!(header.flags & kRecordInUse) || (header.flags & kRecordDirectory) ||
        header.baseRecord != 0)
      continue;
    std::string name = LongName(record.data(), geometry.recordBytes);
    if (name.empty()) continue;
    uint64_t size = 0;
    if (reader.ReadDataSize(sector, size) != kOk || size > kLargestFileCompared) continue;
    std::vector<uint8_t> memory(size);
    PreviewSink sink(size, true, memory.data(), static_cast<uint32_t>(size), nullptr, nullptr);
    ClusterPlacement at{geometry.partitionStart, geometry.ClusterBytes(), geometry.bytesPerSector};
    int result = CopyRecordData(reader, sector, at, sink);
    files.push_back({n, name, std::string(memory.begin(), memory.end()), result});
  }
  return files;
}

class NtfsWindowsImagesTest : public ::testing::TestWithParam<const char*> {};

TEST_P(NtfsWindowsImagesTest, LiveFilesEqualNtfscat) {
  if (!std::filesystem::exists(ImageFolder())) GTEST_SKIP() << ImageFolder() << " is absent";
  if (!test::CanUseLoopDevices()) GTEST_SKIP() << "ntfscat needs the partition on a loop device";
  if (!test::HaveCommand("ntfscat")) GTEST_SKIP() << "ntfscat is not installed";
  UnpackedImage unpacked(GetParam());
  ASSERT_FALSE(unpacked.loop().empty());
  ASSERT_EQ(unpacked.loaded(), kOk);
  SectorSource& source = unpacked.source();
  const NtfsGeometry& geometry = unpacked.geometry();
  ASSERT_FALSE(geometry.mftRuns.empty());
  std::vector<LiveFile> files = ReadLiveFiles(source, geometry);
  test::TempDir out;
  int compared = 0;
  for (const LiveFile& file : files) {
    std::string reference = out / "reference";
    if (test::Run("ntfscat -i " + std::to_string(file.record) + " " + unpacked.loop() + " > " +
                  test::Quote(reference)) != 0)
      continue;
    EXPECT_EQ(file.result, kOk) << file.name;
    EXPECT_TRUE(file.bytes == test::ReadFile(reference)) << file.name << " (" << file.record << ")";
    ++compared;
  }
  EXPECT_GE(compared, 2);
}

INSTANTIATE_TEST_SUITE_P(Images, NtfsWindowsImagesTest,
                         ::testing::Values("ntfs-ptrn.raw", "ntfs-ramslack.raw",
                                           "ntfs-lastaccess.raw", "ntfs-si-vs-fn.raw"));

}  // namespace
}  // namespace salvora
