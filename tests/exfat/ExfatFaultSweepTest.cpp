// Quick and deep scans of an exFAT card, and the recovery of what they
// find, on a disk that fails reads.
#include <gtest/gtest.h>

#include <memory>

#include "exfat/ExfatBytes.h"
#include "support/FaultSweep.h"

namespace salvora {
namespace {

using test::EntrySetBytes;
using test::SetSpec;

SetSpec Set(const std::u16string& name, const ExfatStream& stream, bool deleted,
            uint16_t attributes = 0x20) {
  SetSpec spec;
  spec.name = name;
  spec.stream = stream;
  spec.deleted = deleted;
  spec.attributes = attributes;
  return spec;
}

// A live folder holding a deleted photo in one run, a deleted file whose
// chain was cleared around a live one, and a deleted folder with a note.
class ExfatFaultSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("mkfs.exfat")) GTEST_SKIP() << "mkfs.exfat is not installed";
    card_ = std::make_unique<test::HandCard>(dir_);
    ASSERT_TRUE(card_->ok());
    const uint32_t a = card_->FirstFreeCluster(), bytes = card_->layout().ClusterBytes();
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

  test::TempDir dir_;
  std::unique_ptr<test::HandCard> card_;
};

TEST_F(ExfatFaultSweep, QuickScan) {
  test::SweepRun sound = test::SweepReadFaults({card_->image(), false});
  EXPECT_EQ(sound.files.size(), 3u) << "the photo, the fragmented file and the note";
}

TEST_F(ExfatFaultSweep, DeepScan) { test::SweepReadFaults({card_->image(), true}); }

}  // namespace
}  // namespace salvora
