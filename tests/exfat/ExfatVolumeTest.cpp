#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "exfat/ExfatBootSector.h"
#include "exfat/ExfatBytes.h"
#include "exfat/ExfatDirectoryWalk.h"
#include "exfat/FastExfatRecovery.h"
#include "platform/ErrorCodes.h"
#include "storage/VolumeClass.h"
#include "support/EngineListing.h"
#include "support/ReadFaults.h"

namespace salvora {
namespace {

using test::EntrySetBytes;
using test::HandCard;
using test::SetPlan;

// Cards made by mkfs.exfat and filled by hand, for what exfat-fuse never
// leaves behind. No mount is needed, so these run everywhere.
class ExfatVolume : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("mkfs.exfat")) GTEST_SKIP() << "mkfs.exfat is not installed";
    card_ = std::make_unique<HandCard>(dir_);
    ASSERT_TRUE(card_->ok());
  }
  VolumeClass Classify() {
    std::string probe = test::ReadImage(card_->image(), 0, kProbeBytes);
    return ClassifyVolume(reinterpret_cast<const uint8_t*>(probe.data()), probe.size());
  }
  // Adds the deleted set of a file in the root; returns its name.
  std::string DeletedFile(const std::string& name, uint32_t first, const ExfatStream& stream) {
    SetPlan planned;
    planned.name = std::u16string(name.begin(), name.end());
    planned.stream = stream;
    planned.stream.firstCluster = first;
    planned.deleted = true;
    card_->AddToRoot(EntrySetBytes(planned));
    return name;
  }
  std::map<std::string, FoundRecord> Scan() {
    engine_ = std::make_unique<CFastExfatRecovery>();
    EXPECT_EQ(engine_->OpenImage(card_->image(), 'H'), 0);
    EXPECT_EQ(engine_->Scan(nullptr), 0);
    return test::ListedByPath(*engine_);
  }
  int Recover(const FoundRecord& record, std::string& bytes) {
    std::string target = dir_ / ("out" + std::to_string(record.recordNo));
    int result = engine_->RecoverItem(&record, target, 0);
    bytes = test::ReadFile(target);
    return result;
  }
  std::string Cluster(char fill) const { return std::string(card_->layout().ClusterBytes(), fill); }

  test::TempDir dir_;
  test::ScopedDataDir data_;
  std::unique_ptr<HandCard> card_;
  std::unique_ptr<CFastExfatRecovery> engine_;
};

TEST_F(ExfatVolume, ClassifiesTheCardAndFallsBackToTheBackupBootRegion) {
  EXPECT_EQ(Classify(), VolumeClass::kExfat);
  EXPECT_STREQ(VolumeClassName(VolumeClass::kExfat), "exFAT");

  test::PatchImage(card_->image(), 512 + 100, "damage");  // an extended boot sector
  EXPECT_EQ(Classify(), VolumeClass::kExfat) << "the backup region is whole";
  std::string probe = test::ReadImage(card_->image(), 0, kProbeBytes);
  size_t region = 0;
  ASSERT_TRUE(
      FindExfatBootRegion(reinterpret_cast<const uint8_t*>(probe.data()), probe.size(), region));
  EXPECT_EQ(region, 12u * 512);
  CFastExfatRecovery engine;
  EXPECT_EQ(engine.OpenImage(card_->image(), 'H'), 0) << "the engine reads the backup too";

  test::PatchImage(card_->image(), 13 * 512 + 100, "damage");
  EXPECT_EQ(Classify(), VolumeClass::kOther);
}

TEST_F(ExfatVolume, LayoutNeverReachesPastTheSource) {
  std::string boot = test::ReadImage(card_->image(), 0, 512);
  ExfatBootFields fields;
  ASSERT_TRUE(ReadExfatBootFields(reinterpret_cast<const uint8_t*>(boot.data()), 512, fields));
  FatLayout whole, cut;
  ASSERT_EQ(DeriveExfatLayout(fields, UINT64_MAX, whole), 0);
  EXPECT_EQ(whole.clusterCount, fields.clusterCount);
  EXPECT_EQ(whole.type, FatType::kExfat);
  uint64_t halfHeap = fields.clusterHeapOffset + (whole.clusterCount / 2) * whole.sectorsPerCluster;
  ASSERT_EQ(DeriveExfatLayout(fields, halfHeap, cut), 0);
  EXPECT_EQ(cut.clusterCount, whole.clusterCount / 2) << "a truncated image holds fewer clusters";

  ExfatBootFields bad = fields;
  bad.fatOffset = 12;
  EXPECT_EQ(DeriveExfatLayout(bad, UINT64_MAX, cut), kInvalidParameter) << "FAT in the boot region";
  bad = fields;
  bad.clusterHeapOffset = fields.fatOffset;
  EXPECT_EQ(DeriveExfatLayout(bad, UINT64_MAX, cut), kInvalidParameter) << "heap inside the FAT";
  bad = fields;
  bad.rootCluster = fields.clusterCount + 2;
  EXPECT_EQ(DeriveExfatLayout(bad, UINT64_MAX, cut), kInvalidParameter) << "root past the heap";
  bad = fields;
  bad.clusterShift = 25;
  EXPECT_EQ(DeriveExfatLayout(bad, UINT64_MAX, cut), kInvalidParameter) << "clusters over 32 MiB";
}

TEST_F(ExfatVolume, BytesPastTheValidLengthAreZeros) {
  uint32_t first = card_->FirstFreeCluster();
  card_->WriteCluster(first, Cluster('v') + Cluster('w'));
  uint64_t size = card_->layout().ClusterBytes() + 700;
  DeletedFile("preallocated.mov", first, {true, 0, 1000, size});
  auto found = Scan();
  ASSERT_TRUE(found.count("preallocated.mov"));
  std::string bytes;
  ASSERT_EQ(Recover(found.at("preallocated.mov"), bytes), 0);
  EXPECT_EQ(bytes, std::string(1000, 'v') + std::string(size - 1000, '\0'));
}

// exfat-fuse zeroes the chain of a deleted file; its clusters are then
// taken to go on through the free clusters, passing over those in use.
TEST_F(ExfatVolume, FollowsAClearedChainThroughFreeClustersOnly) {
  uint32_t c = card_->FirstFreeCluster();
  card_->WriteCluster(c, Cluster('a') + Cluster('X') + Cluster('b') + Cluster('X') + Cluster('c'));
  card_->MarkInUse(c + 1);
  card_->MarkInUse(c + 3);
  uint64_t size = 3ull * card_->layout().ClusterBytes();
  DeletedFile("fragmented.bin", c, {false, 0, size, size});
  auto found = Scan();
  std::string bytes;
  ASSERT_EQ(Recover(found.at("fragmented.bin"), bytes), 0);
  EXPECT_EQ(bytes, Cluster('a') + Cluster('b') + Cluster('c'));
}

// Other drivers leave a deleted file's chain in the FAT: it leads, even
// where the next free cluster would say otherwise.
TEST_F(ExfatVolume, FollowsTheChainThatDeletingLeftInTheFat) {
  uint32_t c = card_->FirstFreeCluster();
  card_->WriteCluster(c, Cluster('a') + Cluster('z') + Cluster('c') + Cluster('b'));
  card_->SetFatEntry(c, c + 3);
  card_->SetFatEntry(c + 3, c + 2);
  card_->SetFatEntry(c + 2, 0xFFFFFFFF);
  uint64_t size = 3ull * card_->layout().ClusterBytes();
  DeletedFile("chained.bin", c, {false, 0, size, size});
  auto found = Scan();
  std::string bytes;
  ASSERT_EQ(Recover(found.at("chained.bin"), bytes), 0);
  EXPECT_EQ(bytes, Cluster('a') + Cluster('b') + Cluster('c'));
}

TEST_F(ExfatVolume, ReportsDataWhoseClustersOtherDataTook) {
  uint32_t c = card_->FirstFreeCluster();
  uint32_t bytesPerCluster = card_->layout().ClusterBytes();
  card_->WriteCluster(c, Cluster('a') + Cluster('X') + Cluster('b'));
  card_->MarkInUse(c + 1);
  DeletedFile("run.bin", c, {true, 0, 3ull * bytesPerCluster, 3ull * bytesPerCluster});
  // An intact chain that leads into a cluster in use: the entry that would
  // lead on from there belongs to the other data.
  card_->WriteCluster(c + 10, Cluster('p'));
  card_->SetFatEntry(c + 10, c + 1);
  DeletedFile("chained.bin", c + 10, {false, 0, 2ull * bytesPerCluster, 2ull * bytesPerCluster});
  auto found = Scan();
  std::string bytes;
  EXPECT_EQ(Recover(found.at("run.bin"), bytes), kFileCorrupt);
  EXPECT_EQ(bytes, Cluster('a') + Cluster('\0') + Cluster('b')) << "what survives keeps its place";
  EXPECT_EQ(Recover(found.at("chained.bin"), bytes), kFileCorrupt);
  EXPECT_EQ(bytes, Cluster('p'));
}

// exFAT folders have no "." entry to say a cluster still holds them: a
// deleted folder whose cluster is in use again holds other entries now.
TEST_F(ExfatVolume, ADeletedFolderWhoseClusterIsTakenIsNotWalked) {
  uint32_t c = card_->FirstFreeCluster();
  SetPlan inside;
  inside.name = u"phantom.bin";
  inside.deleted = true;
  inside.stream.firstCluster = c + 5;
  card_->WriteCluster(c, EntrySetBytes(inside));
  SetPlan folder;
  folder.name = u"old folder";
  folder.attributes = 0x10;
  folder.stream = {true, c, 4096, 4096};
  folder.deleted = true;
  card_->AddToRoot(EntrySetBytes(folder));
  EXPECT_EQ(Scan().count("old folder/phantom.bin"), 1u) << "while its cluster is free";
  card_->MarkInUse(c);
  EXPECT_EQ(Scan().size(), 0u) << "once it is taken";
}

TEST_F(ExfatVolume, TheBitmapIsTheDeepScansMapOfFreeSpace) {
  CFastExfatRecovery engine;
  ASSERT_EQ(engine.OpenImage(card_->image(), 'H'), 0);
  ASSERT_EQ(engine.BuildUsageMap(), 0);
  const FatLayout& layout = card_->layout();
  uint64_t sector = 0, count = 0;
  ASSERT_EQ(engine.NextFreeRange(sector, count), 1);
  EXPECT_EQ(sector, layout.ClusterSector(card_->FirstFreeCluster()))
      << "metadata and the bitmap, up-case table and root are passed over";
  EXPECT_EQ(sector + count, layout.ClusterSector(layout.MaxCluster() + 1));
  card_->MarkInUse(card_->FirstFreeCluster() + 2);
  CFastExfatRecovery again;
  ASSERT_EQ(again.OpenImage(card_->image(), 'H'), 0);
  ASSERT_EQ(again.BuildUsageMap(), 0);
  sector = 0;
  ASSERT_EQ(again.NextFreeRange(sector, count), 1);
  EXPECT_EQ(count, 2u * layout.sectorsPerCluster);
}

// A live folder whose FAT chain runs back into itself is read once round
// the loop, not for the whole length its set claims.
TEST_F(ExfatVolume, AFolderWhoseChainLoopsIsReadOnce) {
  uint32_t c = card_->FirstFreeCluster();
  SetPlan gone;
  gone.name = u"gone.bin";
  gone.deleted = true;
  gone.stream = {true, c + 5, 100, 100};
  // Slots of deleted entries that belong to no set fill both clusters, so
  // that no end mark stops the walk before the loop does.
  std::string filler(card_->layout().ClusterBytes(), '\x03');
  std::string first = EntrySetBytes(gone);
  card_->WriteCluster(c, first + filler.substr(first.size()));
  card_->WriteCluster(c + 1, filler);
  card_->SetFatEntry(c, c + 1);
  card_->SetFatEntry(c + 1, c);
  card_->MarkInUse(c);
  card_->MarkInUse(c + 1);
  SetPlan folder;
  folder.name = u"DCIM";
  folder.attributes = 0x10;
  folder.stream = {false, c, kMaxExfatDirectoryBytes, kMaxExfatDirectoryBytes};
  card_->AddToRoot(EntrySetBytes(folder));
  test::ReadFaults counted;
  EXPECT_EQ(Scan().count("DCIM/gone.bin"), 1u);
  EXPECT_EQ(engine_->GetRecordCount(), 2u) << "the file once, and its folder";
  EXPECT_LT(counted.Reads(), 100u);
}

// Imaging that stopped early leaves an image of a card that ends inside its
// heap: what lies before the end is found and copied, a file running past
// it is reported as failed, and the free space ends with the image.
TEST_F(ExfatVolume, ATruncatedImageIsReadAsFarAsItGoes) {
  const uint32_t c = card_->FirstFreeCluster();
  const uint64_t clusterBytes = card_->layout().ClusterBytes();
  std::string kept = test::PseudoRandomBytes(2 * clusterBytes, 4);
  card_->WriteCluster(c, kept);
  DeletedFile("kept.bin", c, {true, 0, kept.size(), kept.size()});
  DeletedFile("cut.bin", c + 8, {true, 0, 20 * clusterBytes, 20 * clusterBytes});
  uint64_t end = card_->ClusterOffset(c + 16);
  ASSERT_EQ(::truncate(card_->image().c_str(), static_cast<off_t>(end)), 0);
  auto found = Scan();
  ASSERT_TRUE(found.count("kept.bin"));
  std::string bytes;
  EXPECT_EQ(Recover(found.at("kept.bin"), bytes), 0);
  EXPECT_TRUE(bytes == kept);
  ASSERT_TRUE(found.count("cut.bin"));
  EXPECT_EQ(Recover(found.at("cut.bin"), bytes), kReadFault);
  EXPECT_EQ(bytes.size(), 8 * clusterBytes) << "what the image still holds";
  ASSERT_EQ(engine_->BuildUsageMap(), 0);
  uint64_t sector = 0, count = 0;
  for (int ranges = 0; engine_->NextFreeRange(sector, count) == 1 && count > 0; ++ranges) {
    ASSERT_LT(ranges, 1000);
    EXPECT_LE((sector + count) * card_->layout().bytesPerSector, end);
    sector += count;
  }
}

}  // namespace
}  // namespace salvora
