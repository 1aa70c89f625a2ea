// Reading and copying through the record reader on a small hand-made
// volume: pieces gathered from extension records, sparse and compressed
// runs, and copies that stop when the file is whole.
#include <gtest/gtest.h>

#include <vector>

#include "NtfsBytes.h"
#include "ntfs/NtfsDataCopy.h"
#include "ntfs/NtfsReader.h"
#include "ntfs/NtfsRunList.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

using test::RecordBuilder;

constexpr uint64_t kVolumeSectors = 256;

class NtfsReaderTest : public ::testing::Test {
 protected:
  NtfsReaderTest() : volume_(kVolumeSectors * 512, '\0'), reader_(source_, geometry_) {
    geometry_.totalSectors = kVolumeSectors;
    geometry_.sectorsPerCluster = 1;
    geometry_.mftRuns = {{64, 16, false}};
    for (uint64_t cluster = 100; cluster < 200; ++cluster)
      volume_.replace(cluster * 512, 512, 512, static_cast<char>(cluster));
  }

  void PutRecord(uint32_t number, const std::string& record) {
    volume_.replace(RecordToSector(geometry_, number) * 512, record.size(), record);
  }
  void Attach() { test::AttachBytes(source_, volume_); }

  // Copies record `number` as a file of `size` bytes into memory.
  int Copy(uint32_t number, uint64_t size, std::string& out) {
    std::vector<uint8_t> memory(size + 1);
    PreviewSink sink(size, true, memory.data(), static_cast<uint32_t>(size), nullptr, nullptr);
    ClusterPlacement at{0, 512, 512};
    int result = CopyRecordData(reader_, RecordToSector(geometry_, number), at, sink);
    out.assign(memory.begin(), memory.begin() + static_cast<ptrdiff_t>(sink.BytesInMemory()));
    return result;
  }

  std::string Clusters(uint64_t first, uint64_t count) {
    return volume_.substr(first * 512, count * 512);
  }

  std::string volume_;
  NtfsGeometry geometry_;
  SectorSource source_;
  NtfsReader reader_;
};

TEST_F(NtfsReaderTest, ListedPiecesAreReadInVcnOrderFromTheirOwnExtensionRecords) {
  std::string list =
      test::ListEntry(0x30, 0, 20) + test::ListEntry(0x80, 4, 22) + test::ListEntry(0x80, 0, 21);
  PutRecord(20, RecordBuilder(20, 1).Resident(0x20, list).FileName(5, u"f", 1).Finish());
  PutRecord(21,
            RecordBuilder(21, 1).BaseRecord(20).NonResident(0x80, "\x11\x04\x64", 4096).Finish());
  PutRecord(22,
            RecordBuilder(22, 1).BaseRecord(20).NonResident(0x80, "\x11\x04\x6A", 0, 4).Finish());
  Attach();

  RunList runs;
  DataAttributeInfo info;
  ASSERT_EQ(reader_.ReadAttributeRuns(RecordToSector(geometry_, 20), 0x80, runs, &info), kOk);
  EXPECT_EQ(info.realSize, 4096u);
  EXPECT_EQ(RunListClusters(runs), 8u);
  uint64_t size = 0;
  EXPECT_EQ(reader_.ReadDataSize(RecordToSector(geometry_, 20), size), kOk);
  EXPECT_EQ(size, 4096u);
  std::string data;
  ASSERT_EQ(Copy(20, 4096, data), kOk);
  EXPECT_EQ(data, Clusters(100, 4) + Clusters(106, 4));
}

TEST_F(NtfsReaderTest, NonResidentListsAreFollowedAndForeignPiecesRefused) {
  std::string list = test::ListEntry(0x80, 0, 31) + test::ListEntry(0x80, 2, 32);
  volume_.replace(150 * 512, list.size(), list);
  PutRecord(30, RecordBuilder(30, 1)
                    .NonResident(0x20, std::string("\x21\x01\x96\x00", 4), list.size())
                    .Finish());
  PutRecord(31,
            RecordBuilder(31, 1).BaseRecord(30).NonResident(0x80, "\x11\x02\x64", 2048).Finish());
  // The second piece's record now belongs to another file.
  PutRecord(32,
            RecordBuilder(32, 1).BaseRecord(99).NonResident(0x80, "\x11\x02\x70", 0, 2).Finish());
  Attach();
  RunList runs;
  EXPECT_EQ(reader_.ReadAttributeRuns(RecordToSector(geometry_, 30), 0x80, runs), kFileCorrupt);
  std::string data;
  EXPECT_EQ(Copy(30, 2048, data), kFileCorrupt);
}

TEST_F(NtfsReaderTest, SparseRunsReadAsZerosAndCopiesStopAtTheSize) {
  // Two clusters, a hole of two, two more; then a run far off the volume
  // that the size never reaches.
  PutRecord(
      24,
      RecordBuilder(24, 1)
          .NonResident(
              0x80, std::string("\x11\x02\x64\x01\x02\x11\x02\x02\x31\x10\xFF\xFF\x7F", 13), 2900)
          .Finish());
  PutRecord(23, RecordBuilder(23, 1).NonResident(0x80, "\x11\x02\x64", 1536).Finish());
  Attach();
  std::string data;
  ASSERT_EQ(Copy(24, 2900, data), kOk);
  std::string expected = Clusters(100, 2) + std::string(1024, '\0') + Clusters(102, 2);
  EXPECT_EQ(data, expected.substr(0, 2900));

  // Clusters off the volume cannot be read; a size beyond the runs is
  // never reported as a whole file.
  EXPECT_EQ(Copy(24, 9 * 512, data), kReadFault);
  EXPECT_EQ(Copy(23, 3 * 512, data), kHandleEof);
}

TEST_F(NtfsReaderTest, ResidentDataEncryptedDataAndCompressedUnits) {
  PutRecord(25, RecordBuilder(25, 1).Resident(0x80, std::string(300, 'r')).Finish());
  PutRecord(26, RecordBuilder(26, 1).NonResident(0x80, "\x11\x02\x64", 1024, 0, 0x4000).Finish());
  // One compression unit of 16 clusters stored in its first cluster.
  const std::string compressed(
      "\x05\xB0\x08"
      "abc"
      "\x06\x20\x00\x00",
      10);
  volume_.replace(120 * 512, 512, std::string(512, '\0'));
  volume_.replace(120 * 512, compressed.size(), compressed);
  PutRecord(
      27, RecordBuilder(27, 1).NonResident(0x80, "\x11\x01\x78\x01\x0F", 8192, 0, 0x0001).Finish());
  Attach();

  std::string data;
  ASSERT_EQ(Copy(25, 300, data), kOk);
  EXPECT_EQ(data, std::string(300, 'r'));
  uint32_t length = 0;
  std::vector<uint8_t> small(100);
  EXPECT_EQ(reader_.ReadResidentData(RecordToSector(geometry_, 25), small.data(), 100, length),
            kInvalidParameter);

  EXPECT_EQ(Copy(26, 1024, data), kNotSupported);

  ASSERT_EQ(Copy(27, 8192, data), kOk);
  EXPECT_EQ(data, "abcabcabcabc" + std::string(8192 - 12, '\0'));
}

TEST_F(NtfsReaderTest, MissingRecordsAndAttributes) {
  PutRecord(28, RecordBuilder(28, 1).FileName(5, u"x", 1).Finish());
  Attach();
  RunList runs;
  EXPECT_EQ(reader_.ReadAttributeRuns(RecordToSector(geometry_, 28), 0x80, runs),
            kAttributeNotFound);
  EXPECT_EQ(reader_.ReadAttributeRuns(RecordToSector(geometry_, 29), 0x80, runs), kNotFileRecord);
  // Beyond every MFT run: the boot sector, never a FILE record.
  EXPECT_EQ(reader_.ReadAttributeRuns(RecordToSector(geometry_, 500), 0x80, runs), kNotFileRecord);
  uint64_t size = 0;
  EXPECT_EQ(reader_.ReadDataSize(RecordToSector(geometry_, 28), size), kInvalidParameter);
  std::string data;
  EXPECT_EQ(Copy(28, 10, data), kAttributeNotFound);
  EXPECT_EQ(Copy(28, 0, data), kOk);
}

}  // namespace
}  // namespace salvora
