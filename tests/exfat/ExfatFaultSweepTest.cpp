// Quick and deep scans of an exFAT card, and the recovery of what they
// find, on a disk that fails reads.
#include <gtest/gtest.h>

#include <memory>

#include "exfat/ExfatBytes.h"
#include "exfat/FastExfatRecovery.h"
#include "platform/ErrorCodes.h"
#include "support/EngineListing.h"
#include "support/FaultSweep.h"

namespace salvora {
namespace {

using test::EntrySetBytes;
using test::SetPlan;

SetPlan Set(const std::u16string& name, const ExfatStream& stream, bool deleted,
            uint16_t attributes = 0x20) {
  SetPlan planned;
  planned.name = name;
  planned.stream = stream;
  planned.deleted = deleted;
  planned.attributes = attributes;
  return planned;
}

// A live folder holding a deleted photo in one run, a deleted file whose
// chain was cleared around a live one, and a deleted folder with a note.
class ExfatFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("mkfs.exfat")) GTEST_SKIP() << "mkfs.exfat is not installed";
    card_ = std::make_unique<test::HandCard>(dir_);
    ASSERT_TRUE(card_->ok());
    a = card_->FirstFreeCluster();
    const uint32_t bytes = card_->layout().ClusterBytes();
    std::string photo = std::string("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11) +
                        test::PseudoRandomBytes(3 * bytes - 11, 1);
    card_->WriteCluster(a + 1, photo);
    card_->WriteCluster(a + 4, test::PseudoRandomBytes(3 * bytes, 2));
    card_->WriteCluster(a + 8, test::PseudoRandomBytes(bytes, 3));
    std::string folder =
        EntrySetBytes(Set(u"IMG_0001.JPG", {true, a + 1, 3ull * bytes, 3ull * bytes}, true)) +
        EntrySetBytes(Set(u"fragmented.bin", {false, a + 4, 2ull * bytes, 2ull * bytes}, true)) +
        EntrySetBytes(Set(u"keep.bin", {true, a + 5, bytes, bytes}, false));
    card_->WriteCluster(a, folder);
    card_->WriteCluster(a + 7, EntrySetBytes(Set(u"old notes.txt", {true, a + 8, 900, 900}, true)));
    card_->AddToRoot(EntrySetBytes(Set(u"DCIM", {true, a, bytes, bytes}, false, 0x10)) +
                     EntrySetBytes(Set(u"OLD", {true, a + 7, bytes, bytes}, true, 0x10)));
    card_->MarkInUse(a);
    card_->MarkInUse(a + 5);
  }

  // The 512-byte sector where cluster `cluster` starts.
  uint64_t SectorOf(uint32_t cluster) const { return card_->ClusterOffset(cluster) / 512; }

  test::TempDir dir_;
  test::ScopedDataDir data_;
  std::unique_ptr<test::HandCard> card_;
  uint32_t a = 0;  // DCIM's cluster
};

TEST_F(ExfatFaultSweep, QuickScan) {
  test::SweepRun sound = test::SweepReadFaults({card_->image(), false});
  EXPECT_EQ(sound.files.size(), 3u) << "the photo, the fragmented file and the note";
}

TEST_F(ExfatFaultSweep, DeepScan) { test::SweepReadFaults({card_->image(), true}); }

// A folder the disk will not give costs only what lies in it: the scan says
// so, and keeps the rest.
TEST_F(ExfatFaultSweep, AnUnreadableFolderIsReportedAndTheRestKept) {
  test::FaultPlan plan;
  plan.badSectors = {SectorOf(a)};
  test::ReadFaults faults(plan);
  CFastExfatRecovery engine;
  ASSERT_EQ(engine.OpenImage(card_->image(), 'H'), 0);
  EXPECT_EQ(engine.Scan(nullptr), kReadFault);
  auto found = test::ListedByPath(engine);
  EXPECT_TRUE(found.count("OLD/old notes.txt"));
  EXPECT_FALSE(found.count("DCIM/IMG_0001.JPG"));
}

// A folder's recovery that meets a bad sector in one file reports that file
// as failed and goes on with the next.
TEST_F(ExfatFaultSweep, ARecoveryMeetingABadSectorReportsThatFileAndGoesOn) {
  test::FaultPlan plan;
  plan.badSectors = {SectorOf(a + 2)};
  test::ReadFaults faults(plan);
  CFastExfatRecovery engine;
  ASSERT_EQ(engine.OpenImage(card_->image(), 'H'), 0);
  ASSERT_EQ(engine.Scan(nullptr), 0);
  auto tree = test::TreeByPath(engine);
  ASSERT_TRUE(tree.count("DCIM/"));
  std::string out = dir_ / "out";
  auto failures = test::RecoverNotingFailures(engine, tree["DCIM/"], out);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].second, kReadFault);
  EXPECT_NE(failures[0].first.find("IMG_0001.JPG"), std::string::npos);
  const uint64_t bytes = card_->layout().ClusterBytes();
  std::string skipsTheLiveCluster =
      test::ReadImage(card_->image(), card_->ClusterOffset(a + 4), bytes) +
      test::ReadImage(card_->image(), card_->ClusterOffset(a + 6), bytes);
  EXPECT_TRUE(test::ReadFile(out + "/fragmented.bin") == skipsTheLiveCluster)
      << "the next file is recovered";
}

}  // namespace
}  // namespace salvora
