#include <gtest/gtest.h>

#include <set>

#include "exfat/ExfatBytes.h"
#include "exfat/ExfatCard.h"
#include "exfat/ExfatDirectorySector.h"
#include "exfat/ProfessionalExfatRecovery.h"
#include "support/EngineListing.h"

namespace salvora {
namespace {

using test::ExfatCard;

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// What the composite deep scan does for this engine: every sector of the
// card that looks like exFAT directory entries, in order.
void Sweep(CProfessionalExfatRecovery& engine, const std::string& image) {
  std::string card = test::ReadFile(image);
  for (size_t at = 0; at + 512 <= card.size(); at += 512) {
    auto* sector = reinterpret_cast<const uint8_t*>(card.data() + at);
    if (LooksLikeExfatDirectorySector(sector, 512))
      engine.ProcessDirectoryEntries(sector, at / 512);
  }
}

// A card formatted again by mkfs.exfat after its files were written: the
// new root is empty, the old folders' entry sets lie in free clusters.
class ExfatReformattedCard : public ::testing::TestWithParam<uint32_t> {
 protected:
  void SetUp() override {
    card_ = &ExfatCard::Get(GetParam(), true);
    if (!card_->skipReason.empty()) GTEST_SKIP() << card_->skipReason;
    ASSERT_EQ(engine_.OpenImage(card_->image, 'R'), 0);
    ASSERT_EQ(engine_.OpenResults(nullptr), 0);
    engine_.RegisterBootVolume();
    Sweep(engine_, card_->image);
    engine_.FinishFolders();
  }
  // Every file the card held at its format, live or deleted.
  std::set<std::string> Written() const {
    std::set<std::string> paths(card_->live.begin(), card_->live.end());
    for (const auto& [path, intact] : card_->deleted) paths.insert(path);
    return paths;
  }

  const ExfatCard* card_ = nullptr;
  test::ScopedDataDir data_;
  CProfessionalExfatRecovery engine_;
};

// The old root is gone (the new one took its cluster), so DCIM's own set is
// lost: its folders come out at the top, everything below them keeps its
// path.
TEST_P(ExfatReformattedCard, GivesBackThePhotosByNameAndPath) {
  auto listed = test::ListedByPath(engine_);
  std::set<std::string> names;
  for (const auto& [path, record] : listed) {
    names.insert(BaseName(path));
    EXPECT_EQ(uint32_t{record.engineKind}, kDeepExfat);
  }
  for (const std::string& path : Written()) {
    if (!card_->deleted.count(path) || card_->deleted.at(path)) {
      EXPECT_TRUE(names.count(BaseName(path))) << path;
    }
  }
  EXPECT_TRUE(listed.count("100CAMERA/IMG_0001.JPG"));
  EXPECT_TRUE(listed.count("101TRIP/Notes of the trip/packing list for next year.txt"));
}

INSTANTIATE_TEST_SUITE_P(ClusterSizes, ExfatReformattedCard, ::testing::Values(4096, 131072));

// What mkfs.exfat writes and what the sweep hands on: directory sectors
// pass, FAT directories, text and zeros do not.
TEST(ExfatDirectorySector, TellsEntrySectorsFromOthers) {
  std::string sector = test::EntrySetBytes(test::SetSpec{});
  sector.resize(512, '\0');
  auto bytes = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
  EXPECT_TRUE(LooksLikeExfatDirectorySector(bytes(sector), 512));
  std::string deleted = sector;
  for (size_t slot = 0; slot < 3; ++slot) deleted[slot * 32] &= 0x7F;
  EXPECT_TRUE(LooksLikeExfatDirectorySector(bytes(deleted), 512));
  EXPECT_FALSE(LooksLikeExfatDirectorySector(bytes(std::string(512, '\0')), 512));
  // A FAT long-name entry also starts with 0x41, but its second byte is a
  // name character, where an exFAT name entry keeps its flags clear.
  std::string fat(512, '\0');
  fat.replace(0, 11, "A\x70\x00h\x00o\x00t\x00o\x00", 11);
  EXPECT_FALSE(LooksLikeExfatDirectorySector(bytes(fat), 512));
  EXPECT_FALSE(LooksLikeExfatDirectorySector(bytes(std::string(512, 'x')), 512));
}

}  // namespace
}  // namespace salvora
