#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "NtfsBytes.h"
#include "ntfs/NtfsDeepGeometry.h"
#include "ntfs/NtfsDeepMftMap.h"
#include "ntfs/NtfsDeepRecordBuilder.h"
#include "ntfs/NtfsRecord.h"
#include "ntfs/ProfessionalNtfsRecovery.h"
#include "platform/ErrorCodes.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::BuildFileRecord;
using test::RecordSpec;
using test::WriteAtSector;

// An image of `sectors` sectors holding hand-made records, opened by a deep
// NTFS engine with a fresh store.
class DeepNtfsFixture : public ::testing::Test {
 protected:
  void OpenImage(uint64_t sectors) {
    std::vector<uint8_t> zero(512, 0);
    WriteAtSector(image_, sectors - 1, zero);
    ASSERT_EQ(engine_.OpenImage(image_, 3), kOk);
    ASSERT_EQ(engine_.OpenResults(nullptr), kOk);
  }
  int Feed(const std::vector<uint8_t>& record, uint64_t sector) {
    WriteAtSector(image_, sector, record);
    return engine_.ProcessFileRecord(record.data(), record.size(), sector, 0, 0);
  }
  std::vector<FoundRecord> Root() {
    std::vector<FoundRecord> out;
    engine_.ListFolder(nullptr, 0, out);
    return out;
  }
  // The one file of the sweep, once the folder pass has run.
  FoundRecord OnlyFile() {
    engine_.EmitPendingFolders();
    auto root = Root();
    EXPECT_EQ(root.size(), 1u);
    return root.empty() ? FoundRecord{} : root[0];
  }
  std::string Recovered(const FoundRecord& record) {
    test::TempDir out;
    EXPECT_EQ(engine_.RecoverItem(&record, out / "file", 0), kOk);
    return test::ReadFile(out / "file");
  }
  const FoundRecord* Named(const std::vector<FoundRecord>& records, const char* name) {
    for (const auto& r : records)
      if (std::strcmp(r.name, name) == 0) return &r;
    return nullptr;
  }

  test::ScopedDataDir data_;
  test::TempDir dir_;
  std::string image_ = dir_ / "disk.img";
  CProfessionalNtfsRecovery engine_;
};

TEST(NtfsDeepGeometryTest, DefaultClusterSizeFollowsVolumeSize) {
  const uint64_t mib = 2048;  // 512-byte sectors per MiB
  EXPECT_EQ(DefaultSectorsPerCluster(512, 7 * mib), 8);
  EXPECT_EQ(DefaultSectorsPerCluster(512, 300 * mib), 1);
  EXPECT_EQ(DefaultSectorsPerCluster(512, 512 * mib), 1);
  EXPECT_EQ(DefaultSectorsPerCluster(512, 1024 * mib), 2);
  EXPECT_EQ(DefaultSectorsPerCluster(512, 2048 * mib), 4);
  EXPECT_EQ(DefaultSectorsPerCluster(512, 4096 * mib), 8);
  EXPECT_EQ(DefaultSectorsPerCluster(4096, 4096 * mib / 8), 1);
}

TEST(NtfsDeepGeometryTest, InferenceTakesOnlyPlausibleClusterSizes) {
  RecordSpec layout;
  layout.number = 40;
  layout.name = "a.bin";
  layout.hasData = true;
  layout.runList = {0x11, 0x02, 0x20, 0x00};  // 2 clusters at 0x20
  layout.allocatedSize = 8192;
  auto record = BuildFileRecord(layout);
  ASSERT_EQ(ApplyFixup(record.data(), record.size()), kOk);
  EXPECT_EQ(InferSectorsPerCluster(record.data(), record.size(), 512), 8);

  layout.allocatedSize = 3 * 512 * 2;  // 3 sectors per cluster: no volume has that
  record = BuildFileRecord(layout);
  ApplyFixup(record.data(), record.size());
  EXPECT_EQ(InferSectorsPerCluster(record.data(), record.size(), 512), 0);

  layout.allocatedSize = uint64_t{1} << 50;  // hostile
  record = BuildFileRecord(layout);
  ApplyFixup(record.data(), record.size());
  EXPECT_EQ(InferSectorsPerCluster(record.data(), record.size(), 512), 0);
}

TEST(NtfsDeepMftMapTest, EachRecordBelongsToTheMftThatPredictsItsSector) {
  MftMap map;
  // Volume A at sector 2048, MFT at cluster 4 (8 sectors per cluster), one run.
  map.Enter(2048 + 32, {{64, 4, false}});
  // Volume B at sector 100000, MFT in two runs: clusters 10-11, then 50-51.
  map.Enter(100000 + 80, {{2, 10, false}, {2, 40, false}});
  MftPlace a = map.Locate(2048 + 32 + 2 * 20, 20, 2, 8, 0);
  EXPECT_EQ(a.volumeStart, 2048u);
  // Record 8 of B is the first record of its second run (16 sectors per run).
  MftPlace b = map.Locate(100000 + 400, 8, 2, 8, 0);
  EXPECT_EQ(b.volumeStart, 100000u);
  uint64_t sector = 0;
  ASSERT_TRUE(LocateRecord(b, 9, 2, 8, sector));
  EXPECT_EQ(sector, 100000u + 400 + 2);
  // A record no MFT predicts lies in a contiguous MFT on the partition.
  MftPlace loose = map.Locate(700000, 30, 2, 8, 0);
  EXPECT_EQ(loose.volumeStart, 0u);
  EXPECT_TRUE(loose.runs.empty());
  ASSERT_TRUE(LocateRecord(loose, 31, 2, 8, sector));
  EXPECT_EQ(sector, 700002u);
  // A record number larger than its sector allows has no contiguous MFT.
  EXPECT_FALSE(LocateRecord(map.Locate(10, 1000, 2, 8, 0), 1001, 2, 8, sector));

  // A disk strewn with "$MFT" records fills the map only so far; the MFTs
  // already known keep being updated.
  for (uint64_t copy = 0; copy < 2 * MftMap::kMaxMfts; ++copy)
    map.Enter(1000000 + copy * 64, {{64, 4, false}});
  EXPECT_EQ(map.Size(), MftMap::kMaxMfts);
  map.Enter(2048 + 32, {{64, 8, false}});  // its MFT now starts 4 clusters later
  EXPECT_EQ(map.Size(), MftMap::kMaxMfts);
  EXPECT_EQ(map.Locate(2048 + 32 + 2 * 20, 20, 2, 8, 0).volumeStart, 2048u - 32);
}

TEST_F(DeepNtfsFixture, FilesInUseAndDeletedAreFoundWithNameSizeAndPlace) {
  OpenImage(4096);
  RecordSpec layout;
  layout.number = 30;
  layout.name = "LONGNA~1.TXT";
  layout.nameSpace = 2;
  layout.secondName = "long name.txt";
  layout.hasData = true;
  layout.residentData = true;
  layout.residentValue = "hello, deep scan";
  layout.realSize = layout.residentValue.size();
  EXPECT_EQ(Feed(BuildFileRecord(layout), 600), kOk);
  layout.number = 31;
  layout.flags = 1;
  layout.name = "in use.txt";
  layout.secondName.clear();
  EXPECT_EQ(Feed(BuildFileRecord(layout), 602), kOk);
  // A directory record is not a file; system records are never listed.
  layout.number = 32;
  layout.flags = 3;
  layout.name = "folder";
  EXPECT_EQ(Feed(BuildFileRecord(layout), 604), kOk);
  layout.number = 3;
  layout.flags = 1;
  layout.name = "$Volume";
  EXPECT_EQ(Feed(BuildFileRecord(layout), 606), kOk);

  engine_.EmitPendingFolders();
  auto root = Root();
  ASSERT_EQ(root.size(), 2u);
  const FoundRecord* renamed = Named(root, "long name.txt");
  ASSERT_NE(renamed, nullptr);
  EXPECT_EQ(+renamed->engineKind, static_cast<uint32_t>(kDeepNtfs));
  EXPECT_EQ(+renamed->entrySector, 600u);
  EXPECT_EQ(+renamed->firstCluster, 30u);
  EXPECT_EQ(+renamed->fileSize, layout.residentValue.size());
  EXPECT_NE(Named(root, "in use.txt"), nullptr);

  test::TempDir out;
  ASSERT_EQ(engine_.RecoverItem(renamed, out / "x.txt", 0), kOk);
  EXPECT_EQ(test::ReadFile(out / "x.txt"), "hello, deep scan");
}

TEST_F(DeepNtfsFixture, FoldersComeFromParentsAndBrokenChainsBecomeLostFolders) {
  OpenImage(8192);
  // A contiguous MFT whose record 0 would lie at sector 1000.
  RecordSpec folder;
  folder.number = 40;
  folder.flags = 3;
  folder.name = "Photos";
  WriteAtSector(image_, 1000 + 2 * 40, BuildFileRecord(folder));
  RecordSpec reused;  // record 41 was a folder, now holds record 77
  reused.number = 77;
  reused.flags = 3;
  reused.name = "other";
  WriteAtSector(image_, 1000 + 2 * 41, BuildFileRecord(reused));

  RecordSpec file;
  file.number = 50;
  file.parent = 40;
  file.name = "a.txt";
  EXPECT_EQ(Feed(BuildFileRecord(file), 1000 + 2 * 50), kOk);
  file.number = 51;
  file.parent = 41;
  file.name = "b.txt";
  EXPECT_EQ(Feed(BuildFileRecord(file), 1000 + 2 * 51), kOk);
  engine_.EmitPendingFolders();

  auto root = Root();
  const FoundRecord* photos = Named(root, "Photos");
  const FoundRecord* lost = Named(root, "LostFolder41");
  ASSERT_NE(photos, nullptr);
  ASSERT_NE(lost, nullptr);
  std::vector<FoundRecord> inside;
  engine_.ListFolder(photos, 1, inside);
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_STREQ(inside[0].name, "a.txt");
  std::string path;
  engine_.GetRecordPath(inside[0], path);
  EXPECT_EQ(path, "Photos/");
  inside.clear();
  engine_.ListFolder(lost, 1, inside);
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_STREQ(inside[0].name, "b.txt");
}

TEST_F(DeepNtfsFixture, ParentCyclesEndAndEveryFolderIsWrittenOnce) {
  OpenImage(8192);
  RecordSpec a, b;
  a.number = 60;
  a.flags = 3;
  a.parent = 61;
  a.name = "A";
  b.number = 61;
  b.flags = 3;
  b.parent = 60;
  b.name = "B";
  WriteAtSector(image_, 2000 + 120, BuildFileRecord(a));
  WriteAtSector(image_, 2000 + 122, BuildFileRecord(b));
  RecordSpec file;
  file.parent = 60;
  for (uint32_t n : {70u, 71u}) {
    file.number = n;
    file.name = "f" + std::to_string(n);
    EXPECT_EQ(Feed(BuildFileRecord(file), 2000 + 2 * n), kOk);
  }
  EXPECT_EQ(engine_.EmitPendingFolders(), kOk);
  // Two files, two folders; no folder twice.
  EXPECT_EQ(engine_.GetRecordCount(), 4u);
}

TEST_F(DeepNtfsFixture, MftRecordZeroLocatesLaterRecordsAndInfersClusters) {
  OpenImage(300 * 2048);  // 300 MiB: one sector per cluster at first
  EXPECT_EQ(engine_.SectorsPerCluster(), 1);
  // Volume at sector 2048, MFT at cluster 16 with 8 sectors per cluster.
  RecordSpec mft;
  mft.number = 0;
  mft.flags = 1;
  mft.name = "$MFT";
  mft.hasData = true;
  mft.runList = {0x11, 0x40, 0x10, 0x00};
  mft.allocatedSize = 64 * 4096;
  EXPECT_EQ(Feed(BuildFileRecord(mft), 2048 + 128), kOk);
  EXPECT_EQ(engine_.KnownMftCount(), 1u);

  RecordSpec file;
  file.number = 20;
  file.name = "pic.dat";
  file.hasData = true;
  file.runList = {0x11, 0x01, 0x64, 0x00};  // one cluster at 100
  file.allocatedSize = 4096;
  file.realSize = 5;
  std::vector<uint8_t> content(4096, 'z');
  WriteAtSector(image_, 2048 + 800, content);
  EXPECT_EQ(Feed(BuildFileRecord(file), 2048 + 128 + 40), kOk);
  EXPECT_EQ(engine_.SectorsPerCluster(), 8);
  FoundRecord found = OnlyFile();
  EXPECT_EQ(+found.volumeFirstSector, 2048u);
  EXPECT_EQ(+found.clusterBytes, 4096u);
  EXPECT_EQ(Recovered(found), "zzzzz");
}

// The size in $FILE_NAME is 0 as volumes leave it; the $DATA lives only in
// an extension record that the attribute list names.
TEST_F(DeepNtfsFixture, SizeOfDataInAnExtensionRecordComesFromItsFirstPiece) {
  OpenImage(300 * 2048);  // one sector per cluster
  RecordSpec mft;         // volume at 2048, MFT at cluster 128
  mft.number = 0;
  mft.flags = 1;
  mft.name = "$MFT";
  mft.hasData = true;
  mft.runList = {0x21, 0x40, 0x80, 0x00, 0x00};
  mft.allocatedSize = 64 * 512;
  const uint64_t mftSector = 2048 + 128;
  EXPECT_EQ(Feed(BuildFileRecord(mft), mftSector), kOk);

  std::string list = test::ListEntry(0x30, 0, 20) + test::ListEntry(0x80, 0, 21);
  std::string base =
      test::RecordBuilder(20).Resident(0x20, list).FileName(5, u"split.bin", 1, 0).Finish();
  std::string extension =
      test::RecordBuilder(21).BaseRecord(20).NonResident(0x80, "\x11\x10\x64", 5000).Finish();
  WriteAtSector(image_, mftSector + 42, std::vector<uint8_t>(extension.begin(), extension.end()));
  std::vector<uint8_t> content(8192);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 7);
  WriteAtSector(image_, 2048 + 100, content);
  EXPECT_EQ(Feed(std::vector<uint8_t>(base.begin(), base.end()), mftSector + 40), kOk);

  FoundRecord found = OnlyFile();
  EXPECT_EQ(+found.volumeFirstSector, 2048u);
  EXPECT_EQ(+found.fileSize, 5000u);
  EXPECT_EQ(Recovered(found), std::string(content.begin(), content.begin() + 5000));
}

TEST_F(DeepNtfsFixture, DamagedRecordsAreRefusedWithoutReadingOutside) {
  OpenImage(4096);
  RecordSpec layout;
  layout.number = 30;
  layout.name = "x";
  auto record = BuildFileRecord(layout);
  auto bad = record;
  bad[0x18] = 0xFF;  // bytes in use beyond the record
  bad[0x19] = 0xFF;
  EXPECT_EQ(engine_.ProcessFileRecord(bad.data(), bad.size(), 10, 0, 0), kInvalidParameter);
  // Shorter than one record: not taken.
  EXPECT_EQ(engine_.ProcessFileRecord(record.data(), 600, 10, 0, 0), kNotFileRecord);
  bad = record;
  std::memcpy(bad.data(), "BAAD", 4);
  EXPECT_EQ(engine_.ProcessFileRecord(bad.data(), bad.size(), 10, 0, 0), kNotFileRecord);
  EXPECT_EQ(engine_.GetRecordCount(), 0u);
}

}  // namespace
}  // namespace salvora
