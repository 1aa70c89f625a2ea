#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exfat/ExfatBytes.h"
#include "exfat/ExfatSlotWindow.h"
#include "platform/Clock.h"

namespace salvora {
namespace {

using test::EntrySetBytes;
using test::SetSpec;

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

bool Parse(const std::string& slots, ExfatEntrySet& set) {
  return ParseEntrySet(Bytes(slots), slots.size() / kExfatSlotBytes, set);
}

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// The "DCIM" folder's set as exfat-fuse wrote it: the checksum is checked
// against the tool, not against this code's own idea of it.
TEST(ExfatEntrySet, ReadsASetWrittenByExfatFuse) {
  std::string slots = FromHex(
      "8502efd810000000696a875d696a875d696a875d000080808000000000000000"
      "c003000432400000001000000000000000000000060000000010000000000000"
      "c1004400430049004d0000000000000000000000000000000000000000000000");
  ExfatEntrySet set;
  ASSERT_TRUE(Parse(slots, set));
  EXPECT_EQ(set.name, "DCIM");
  EXPECT_TRUE(set.isDirectory);
  EXPECT_FALSE(set.deleted);
  EXPECT_TRUE(set.stream.noFatChain);
  EXPECT_EQ(set.stream.firstCluster, 6u);
  EXPECT_EQ(set.stream.dataLength, 4096u);
  EXPECT_EQ(set.slotCount, 3u);

  for (size_t slot = 0; slot < 3; ++slot) slots[slot * 32] &= 0x7F;
  ASSERT_TRUE(Parse(slots, set)) << "deleting clears the in-use bits and nothing else";
  EXPECT_TRUE(set.deleted);
  EXPECT_EQ(set.name, "DCIM");
}

TEST(ExfatEntrySet, LongAndNonAsciiNamesSpanSeveralNameEntries) {
  SetSpec spec;
  spec.name = u"Fotograf\u00eda con un nombre muy largo \u2713 \U0001F4F7.jpg";
  ExfatEntrySet set;
  ASSERT_TRUE(Parse(EntrySetBytes(spec), set));
  EXPECT_EQ(set.name, "Fotograf\u00eda con un nombre muy largo \u2713 \U0001F4F7.jpg");
  EXPECT_EQ(set.slotCount, 2 + (spec.name.size() + 14) / 15);
}

TEST(ExfatEntrySet, RefusesBrokenSets) {
  ExfatEntrySet set;
  std::string good = EntrySetBytes(SetSpec{});
  ASSERT_TRUE(Parse(good, set));

  std::string flipped = good;
  flipped[70] ^= 0x01;  // a name character
  EXPECT_FALSE(Parse(flipped, set)) << "checksum";

  EXPECT_FALSE(ParseEntrySet(Bytes(good), 2, set)) << "fewer slots than the set claims";

  SetSpec pastEnd;
  pastEnd.stream.validDataLength = pastEnd.stream.dataLength + 1;
  EXPECT_FALSE(Parse(EntrySetBytes(pastEnd), set)) << "valid data past the data length";

  std::string noName = good;
  noName[32 + 3] = 0;
  EXPECT_FALSE(Parse(noName, set)) << "a name of no characters";

  std::string longName = good;
  longName[32 + 3] = 16;  // would need a second name entry the set lacks
  EXPECT_FALSE(Parse(longName, set));

  std::string oneSecondary = good;
  oneSecondary[1] = 1;
  EXPECT_EQ(ClaimedSetSlots(Bytes(oneSecondary)), 0u);

  std::string nameFirst = good;
  std::swap_ranges(nameFirst.begin() + 32, nameFirst.begin() + 64, nameFirst.begin() + 64);
  EXPECT_FALSE(Parse(nameFirst, set)) << "the stream extension must come first";
}

TEST(ExfatEntrySet, FindsTheStreamEntryOfARecordAgain) {
  SetSpec spec;
  spec.stream = {false, 77, 1000, 9000};
  std::string block = EntrySetBytes(SetSpec{}) + EntrySetBytes(spec);
  ExfatStream stream;
  ASSERT_TRUE(FindStreamEntry(Bytes(block), block.size(), 77, 9000, stream));
  EXPECT_FALSE(stream.noFatChain);
  EXPECT_EQ(stream.validDataLength, 1000u);
  EXPECT_FALSE(FindStreamEntry(Bytes(block), block.size(), 77, 9001, stream));
}

// 2026-12-06 13:05:08.37 as exFAT stamps it.
constexpr uint32_t kStamp =
    ((2026 - 1980) << 25) | (12 << 21) | (6 << 16) | (13 << 11) | (5 << 5) | (8 / 2);

TEST(ExfatEntrySet, TimesCarryHundredthsAndTheirUtcOffset) {
  uint64_t local = FileTimeFromCalendar(2026, 12, 6, 13, 5, 8, 3700000);
  EXPECT_EQ(ExfatTimeToFileTime(kStamp, 37, 0x00), local) << "no valid offset: as stored";
  EXPECT_EQ(ExfatTimeToFileTime(kStamp, 37, 0x84), local - 36000000000ull) << "UTC+1";
  // UTC-5: -20 quarter hours in seven bits.
  EXPECT_EQ(ExfatTimeToFileTime(kStamp, 37, 0x80 | (0x80 - 20)), local + 5 * 36000000000ull);
  EXPECT_EQ(ExfatTimeToFileTime(kStamp, 137, 0),
            FileTimeFromCalendar(2026, 12, 6, 13, 5, 9, 3700000));
  EXPECT_EQ(ExfatTimeToFileTime(0, 0, 0x84), 0u) << "an impossible date stays 0";

  SetSpec spec;
  spec.writeStamp = kStamp;
  spec.writeTenMs = 37;
  spec.writeUtcOffset = 0x84;
  ExfatEntrySet set;
  ASSERT_TRUE(Parse(EntrySetBytes(spec), set));
  EXPECT_EQ(set.writeTime, local - 36000000000ull);
}

struct Delivered {
  std::string name;
  uint64_t streamSector;
};

std::vector<Delivered> DrainAll(ExfatSlotWindow& window, bool final) {
  std::vector<Delivered> got;
  window.Drain(final, [&](const ExfatEntrySet& set, uint64_t sector) {
    got.push_back({set.name, sector});
  });
  return got;
}

TEST(ExfatSlotWindow, JoinsASetSplitAcrossTwoPieces) {
  SetSpec first, second;
  first.name = u"first.jpg";
  second.name = u"a name long enough for two name entries.jpg";
  std::string lead = EntrySetBytes(first), split = EntrySetBytes(second);
  // The second set's file entry ends the first sector; the rest follows.
  std::string sector0 = lead + std::string(512 - lead.size() - 32, '\x01') + split.substr(0, 32);
  std::string sector1 = split.substr(32) + std::string(512 - (split.size() - 32), '\0');
  ExfatSlotWindow window(true);
  window.Append(Bytes(sector0), 512, 100, 512);
  auto got = DrainAll(window, false);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].name, "first.jpg");
  EXPECT_EQ(got[0].streamSector, 100u);
  window.Append(Bytes(sector1), 512, 101, 512);
  got = DrainAll(window, false);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].name, "a name long enough for two name entries.jpg");
  EXPECT_EQ(got[0].streamSector, 101u) << "its stream extension lies in the second piece";
}

TEST(ExfatSlotWindow, AnEndMarkEndsAWalkButNotASweep) {
  std::string bytes = std::string(64, '\0') + EntrySetBytes(SetSpec{});
  for (bool walk : {true, false}) {
    ExfatSlotWindow window(walk);
    window.Append(Bytes(bytes), bytes.size(), 7, 512);
    EXPECT_EQ(DrainAll(window, true).size(), walk ? 0u : 1u);
  }
}

}  // namespace
}  // namespace salvora
