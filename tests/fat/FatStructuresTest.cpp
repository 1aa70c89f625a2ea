#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fat/FatBootSector.h"
#include "fat/FatDirEntry.h"
#include "platform/Clock.h"

namespace salvora {
namespace {

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, static_cast<uint16_t>(v));
  Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

// A 1.44 MB floppy boot sector as mkfs.fat -F 12 writes it.
std::vector<uint8_t> FloppyBootSector() {
  std::vector<uint8_t> s(512, 0);
  Put16(&s[11], 512);
  s[13] = 1;
  Put16(&s[14], 1);
  s[16] = 2;
  Put16(&s[17], 224);
  Put16(&s[19], 2880);
  Put16(&s[22], 9);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

std::vector<uint8_t> Fat32BootSector() {
  std::vector<uint8_t> s(512, 0);
  Put16(&s[11], 512);
  s[13] = 8;
  Put16(&s[14], 32);
  s[16] = 2;
  Put32(&s[32], 1 << 20);
  Put32(&s[36], 1024);
  Put32(&s[44], 2);
  std::memcpy(&s[82], "FAT32   ", 8);
  s[510] = 0x55;
  s[511] = 0xAA;
  return s;
}

TEST(FatBootSector, FloppyRootDirectoryFollowsItsEntryCount) {
  FatLayout layout;
  std::vector<uint8_t> s = FloppyBootSector();
  ASSERT_TRUE(RecognizeFatBootSector(s.data(), s.size(), layout));
  EXPECT_EQ(layout.type, FatType::kFat12);
  EXPECT_EQ(layout.fatStart, 1u);
  EXPECT_EQ(layout.rootDirSector, 19u);
  EXPECT_EQ(layout.rootDirSectors, 14u);  // 224 entries, not a fixed 32 sectors
  EXPECT_EQ(layout.firstDataSector, 33u);
  EXPECT_EQ(layout.clusterCount, 2847u);
  EXPECT_EQ(layout.rootCluster, 0u);
  EXPECT_EQ(layout.ClusterSector(2), 33u);
  EXPECT_EQ(layout.ClusterSector(0), 19u);
}

TEST(FatBootSector, Fat32IsToldByItsLayoutAndItsLabel) {
  FatLayout layout;
  std::vector<uint8_t> s = Fat32BootSector();
  ASSERT_TRUE(RecognizeFatBootSector(s.data(), s.size(), layout));
  EXPECT_EQ(layout.type, FatType::kFat32);
  EXPECT_EQ(layout.firstDataSector, 32u + 2 * 1024);
  EXPECT_EQ(layout.rootCluster, 2u);
  EXPECT_EQ(layout.ClusterBytes(), 4096u);
  // Without the label the empty 16-bit FAT size still says FAT32.
  std::memset(&s[82], ' ', 8);
  ASSERT_TRUE(RecognizeFatBootSector(s.data(), s.size(), layout));
  EXPECT_EQ(layout.type, FatType::kFat32);
}

TEST(FatBootSector, ImpossibleFieldsAreRefused) {
  struct Case {
    const char* what;
    void (*damage)(std::vector<uint8_t>&);
  } cases[] = {
      {"no sectors per cluster", [](std::vector<uint8_t>& s) { s[13] = 0; }},
      {"3 sectors per cluster", [](std::vector<uint8_t>& s) { s[13] = 3; }},
      {"100-byte sectors", [](std::vector<uint8_t>& s) { Put16(&s[11], 100); }},
      {"8 KiB sectors", [](std::vector<uint8_t>& s) { Put16(&s[11], 8192); }},
      {"no FAT", [](std::vector<uint8_t>& s) { s[16] = 0; }},
      {"no reserved sector", [](std::vector<uint8_t>& s) { Put16(&s[14], 0); }},
      {"FATs larger than the volume", [](std::vector<uint8_t>& s) { Put32(&s[36], 1 << 20); }},
      {"root cluster 0", [](std::vector<uint8_t>& s) { Put32(&s[44], 0); }},
      {"root cluster past the end", [](std::vector<uint8_t>& s) { Put32(&s[44], 0x0FFFFFF0); }},
      {"no boot signature", [](std::vector<uint8_t>& s) { s[510] = 0; }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> s = Fat32BootSector();
    c.damage(s);
    FatLayout layout;
    EXPECT_FALSE(RecognizeFatBootSector(s.data(), s.size(), layout)) << c.what;
  }
  FatLayout layout;
  EXPECT_FALSE(RecognizeFatBootSector(Fat32BootSector().data(), 100, layout)) << "short";
}

TEST(FatBootSector, ClusterCountIsBoundByWhatTheFatCanHold) {
  std::vector<uint8_t> s = Fat32BootSector();
  Put32(&s[36], 1);  // one FAT sector: 128 entries
  Put32(&s[32], 1 << 24);
  FatLayout layout;
  ASSERT_TRUE(RecognizeFatBootSector(s.data(), s.size(), layout));
  EXPECT_EQ(layout.clusterCount, 126u);
  EXPECT_FALSE(layout.IsDataCluster(128));
}

// The boot sector of the fuzzer's timeout: 4 billion sectors and a FAT of
// millions of sectors, on an image of 512 sectors.
TEST(FatBootSector, LayoutIsKeptToWhatTheSourceHolds) {
  std::vector<uint8_t> s = Fat32BootSector();
  Put32(&s[32], 0xFFFFFFFF);
  Put32(&s[36], 2900000);
  FatLayout layout;
  ASSERT_TRUE(RecognizeFatBootSector(s.data(), s.size(), layout));
  ASSERT_GT(layout.clusterCount, 100000000u);
  FatLayout claimed = layout;

  layout.LimitTo(512);
  EXPECT_EQ(layout.fatSectors, 512 - layout.fatStart) << "the FAT as far as the image goes";
  EXPECT_EQ(layout.clusterCount, 0u) << "no data cluster is on the image";
  EXPECT_EQ(layout.totalSectors, 512u);

  FatLayout partial = claimed;
  partial.LimitTo(partial.firstDataSector + 8 * partial.sectorsPerCluster + 1);
  EXPECT_EQ(partial.fatSectors, claimed.fatSectors);
  EXPECT_EQ(partial.clusterCount, 8u) << "only whole clusters, so every read stays inside";

  FatLayout whole = claimed;
  whole.LimitTo(UINT64_MAX);
  EXPECT_EQ(whole.clusterCount, claimed.clusterCount);
  EXPECT_EQ(whole.fatSectors, claimed.fatSectors);
}

// A 32-byte entry built field by field.
struct EntryBuilder {
  uint8_t bytes[32] = {};
  explicit EntryBuilder(const char* name11, uint8_t attributes = kAttrArchive) {
    std::memcpy(bytes, name11, 11);
    bytes[11] = attributes;
    Put16(bytes + 14, 0x6000);                     // 12:00:00
    Put16(bytes + 16, (45 << 9) | (3 << 5) | 15);  // 2025-03-15
    Put16(bytes + 18, (45 << 9) | (3 << 5) | 16);
    Put16(bytes + 22, 0x6000);
    Put16(bytes + 24, (45 << 9) | (3 << 5) | 15);
  }
  EntryBuilder& Size(uint32_t size) {
    Put32(bytes + 28, size);
    return *this;
  }
  EntryBuilder& Cluster(uint32_t cluster) {
    Put16(bytes + 20, static_cast<uint16_t>(cluster >> 16));
    Put16(bytes + 26, static_cast<uint16_t>(cluster));
    return *this;
  }
  EntryBuilder& Byte(size_t at, uint8_t value) {
    bytes[at] = value;
    return *this;
  }
  EntryBuilder& Word(size_t at, uint16_t value) {
    Put16(bytes + at, value);
    return *this;
  }
  bool Valid(const uint8_t* next = nullptr) const { return IsValidDirEntry(bytes, next); }
};

TEST(FatDirEntry, ValidityTest) {
  EXPECT_TRUE(EntryBuilder("README  TXT").Size(10).Cluster(5).Valid());
  EXPECT_TRUE(EntryBuilder("EMPTY   TXT").Valid());
  EXPECT_FALSE(EntryBuilder("EMPTY   TXT").Cluster(5).Valid()) << "size 0 with a cluster";
  EXPECT_TRUE(EntryBuilder("SUB        ", kAttrDirectory).Cluster(5).Valid());
  EXPECT_FALSE(EntryBuilder("SUB        ", kAttrDirectory).Cluster(5).Size(1).Valid());
  EXPECT_TRUE(EntryBuilder("\xE5UB        ", kAttrDirectory).Cluster(5).Size(1).Valid())
      << "a deleted directory's size is not looked at";
  EXPECT_TRUE(EntryBuilder("MYDISK     ", kAttrVolumeLabel).Valid());
  EXPECT_FALSE(EntryBuilder("MYDISK     ", kAttrVolumeLabel).Cluster(3).Valid());
  EXPECT_FALSE(EntryBuilder("FILE    TXT", kAttrArchive | kAttrVolumeLabel).Size(1).Valid());
  EXPECT_FALSE(EntryBuilder("SUB        ", kAttrDirectory | kAttrReadOnly).Valid());
  EXPECT_FALSE(EntryBuilder("FILE    TXT", 0x40 | kAttrArchive).Size(1).Valid());
  EXPECT_TRUE(EntryBuilder("FILE    TXT", kAttrReadOnly).Size(1).Cluster(3).Valid())
      << "a file without the archive bit is a file";
  EXPECT_TRUE(EntryBuilder("FILE    TXT", 0).Size(1).Cluster(3).Valid()) << "no attribute at all";
  EXPECT_FALSE(EntryBuilder("file    txt").Size(1).Cluster(3).Valid()) << "lower case";
  EXPECT_FALSE(EntryBuilder("FI*E    TXT").Size(1).Cluster(3).Valid());
  EXPECT_FALSE(EntryBuilder("FI\x01E    TXT").Size(1).Cluster(3).Valid());
  EXPECT_TRUE(EntryBuilder("\x05OO     TXT").Size(1).Cluster(3).Valid()) << "escaped 0xE5";
  EXPECT_TRUE(EntryBuilder("CAF\x82    TXT").Size(1).Cluster(3).Valid());
}

TEST(FatDirEntry, TimesOfLiveFilesMustBeBelievable) {
  auto file = [] { return EntryBuilder("FILE    TXT").Size(1).Cluster(3); };
  EXPECT_FALSE(file().Word(24, (75 << 9) | (1 << 5) | 2).Valid()) << "written in 2055";
  EXPECT_TRUE(file().Word(24, (5 << 9) | (1 << 5) | 2).Valid()) << "written in 1985";
  EXPECT_TRUE(file().Word(24, (0 << 9) | (1 << 5) | 1).Word(22, 0).Valid())
      << "1980-01-01, the date of a camera without a clock";
  EXPECT_FALSE(file().Word(24, (45 << 9) | (13 << 5) | 2).Valid()) << "month 13";
  EXPECT_FALSE(file().Word(16, (75 << 9) | (1 << 5) | 2).Valid()) << "created in 2055";
  // Creation time and access date are optional in FAT: 0 is no sign of
  // garbage.
  EXPECT_TRUE(file().Word(14, 0).Word(16, 0).Word(18, 0).Valid());
  EXPECT_FALSE(file().Word(24, 0).Word(22, 0).Valid()) << "the write time is mandatory";
  // A deleted entry is not judged by its times.
  EXPECT_TRUE(file().Byte(0, kDeletedMark).Word(24, 0).Valid());
}

TEST(FatDirEntry, DotPairAndLongNameEntries) {
  EntryBuilder dot(".          ", kAttrDirectory);
  EntryBuilder dotDot("..         ", kAttrDirectory);
  EXPECT_TRUE(dot.Valid(dotDot.bytes));
  EXPECT_FALSE(dot.Valid(nullptr)) << "a lone \".\" is not a directory start";
  EXPECT_FALSE(dotDot.Valid(nullptr));
  uint8_t pair[64];
  std::memcpy(pair, dot.bytes, 32);
  std::memcpy(pair + 32, dotDot.bytes, 32);
  EXPECT_TRUE(StartsWithDotPair(pair, sizeof pair));
  EXPECT_FALSE(StartsWithDotPair(pair, 32));

  auto part = [](uint8_t sequence) {
    EntryBuilder e("\x01\x41\x00\x42\x00\x43\x00\x44\x00\x45\x00", kAttrLongName);
    e.Byte(0, sequence).Byte(12, 0).Word(26, 0).Size(0xFFFFFFFF);
    return e;
  };
  EXPECT_TRUE(part(0x41).Valid());
  EXPECT_TRUE(part(0x40 | 20).Valid()) << "20 parts hold the longest FAT name";
  EXPECT_FALSE(part(0x40 | 21).Valid());
  EXPECT_FALSE(part(0).Valid());
  EXPECT_TRUE(part(kDeletedMark).Valid());
  EXPECT_FALSE(part(0x41).Word(26, 7).Valid()) << "long-name entries have no cluster";
}

TEST(FatDirEntry, ShortNames) {
  auto name = [](const char* raw, uint8_t attributes = kAttrArchive) {
    return ShortEntryName(LoadDirEntry(EntryBuilder(raw, attributes).bytes));
  };
  EXPECT_EQ(name("README  TXT"), "readme.txt");
  EXPECT_EQ(name("MAKEFILE   "), "makefile");
  EXPECT_EQ(name("\xE5"
                 "EADME  TXT"),
            "!eadme.txt");
  EXPECT_EQ(name("\xE5       TXT"), "!.txt");
  EXPECT_EQ(name("SUB        ", kAttrDirectory), "sub");
  EXPECT_EQ(name("CAF\x82    TXT"), "caf\xC3\xA9.txt");
  EXPECT_EQ(name("\x05OO     TXT"), "\xCF\x83oo.txt");
  EXPECT_EQ(name("A B     C  "), "a b.c");
}

TEST(FatDirEntry, TimesAreKeptAsTheyStand) {
  EXPECT_EQ(FatTimeToFileTime((46 << 9) | (12 << 5) | 6, (13 << 11) | (5 << 5) | 10),
            FileTimeFromCalendar(2026, 12, 6, 13, 5, 20));
  EXPECT_EQ(FatTimeToFileTime((46 << 9) | (12 << 5) | 6, (13 << 11) | (5 << 5) | 10, 155),
            FileTimeFromCalendar(2026, 12, 6, 13, 5, 21, 550 * 10000));
  EXPECT_EQ(FatTimeToFileTime(0, 0), 0u) << "day 0 does not exist";
  EXPECT_EQ(FatTimeToFileTime((46 << 9) | (2 << 5) | 30, 0), 0u) << "30 February";
  EXPECT_EQ(FatTimeToFileTime((46 << 9) | (1 << 5) | 1, 24 << 11), 0u) << "hour 24";

  FatDirEntry e = LoadDirEntry(EntryBuilder("FILE    TXT").bytes);
  EntryTimes times = DirEntryTimes(e);
  EXPECT_EQ(times.create, FileTimeFromCalendar(2025, 3, 15, 12, 0, 0));
  EXPECT_EQ(times.access, FileTimeFromCalendar(2025, 3, 16, 0, 0, 0));
  EXPECT_EQ(times.write, FileTimeFromCalendar(2025, 3, 15, 12, 0, 0));
}

// Long-name parts of `text` for the short entry `shortName`, in disk order
// (last part first), with `sequenceMark` in place of sequence numbers when
// not 0 (deleted entries).
std::vector<FatDirEntry> LongNameParts(const std::u16string& text, const char* shortName,
                                       uint8_t sequenceMark = 0) {
  uint8_t name11[11];
  std::memcpy(name11, shortName, 11);
  uint8_t checksum = ShortNameChecksum(name11);
  std::u16string padded = text;
  if (padded.size() % 13 != 0) padded.push_back(0);
  while (padded.size() % 13 != 0) padded.push_back(0xFFFF);
  size_t parts = padded.size() / 13;
  static constexpr size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  std::vector<FatDirEntry> out;
  for (size_t n = parts; n >= 1; --n) {
    uint8_t raw[32] = {};
    raw[0] = sequenceMark ? sequenceMark : static_cast<uint8_t>(n | (n == parts ? 0x40 : 0));
    raw[11] = kAttrLongName;
    raw[13] = checksum;
    for (size_t i = 0; i < 13; ++i) Put16(raw + kOffsets[i], padded[(n - 1) * 13 + i]);
    out.push_back(LoadDirEntry(raw));
  }
  return out;
}

TEST(FatLongName, PartsJoinInOrderAndMustBelongToTheirShortEntry) {
  const char* shortName = "ALONGF~1TXT";
  FatDirEntry shortEntry = LoadDirEntry(EntryBuilder(shortName).Size(1).bytes);
  std::u16string text = u"A long file name with \u00e9 and \U0001F600.txt";
  LongNameCollector collector;
  for (const FatDirEntry& e : LongNameParts(text, shortName)) collector.Add(e);
  EXPECT_EQ(collector.Parts(), 3u);
  std::string name;
  ASSERT_TRUE(collector.TakeFor(shortEntry, name));
  EXPECT_EQ(name, "A long file name with \xC3\xA9 and \xF0\x9F\x98\x80.txt");
  EXPECT_TRUE(collector.Empty()) << "a long name serves one short entry";

  // A stale long name left before another short entry is not taken.
  for (const FatDirEntry& e : LongNameParts(text, shortName)) collector.Add(e);
  FatDirEntry other = LoadDirEntry(EntryBuilder("OTHER   TXT").Size(1).bytes);
  EXPECT_FALSE(collector.TakeFor(other, name));
  EXPECT_TRUE(collector.Empty());

  // Deleted: sequence numbers and the short name's first byte are gone, the
  // parts still agree on one checksum.
  for (const FatDirEntry& e : LongNameParts(text, shortName, kDeletedMark)) collector.Add(e);
  FatDirEntry deleted = shortEntry;
  deleted.name[0] = kDeletedMark;
  ASSERT_TRUE(collector.TakeFor(deleted, name));
  EXPECT_EQ(name.substr(0, 6), "A long");
}

TEST(FatLongName, ForeignPartsAndOverlongNamesStartAfresh) {
  LongNameCollector collector;
  for (const FatDirEntry& e : LongNameParts(u"first name part", "FIRST   TXT")) collector.Add(e);
  for (const FatDirEntry& e : LongNameParts(u"second", "SECOND  TXT", kDeletedMark))
    collector.Add(e);
  std::string name;
  FatDirEntry second = LoadDirEntry(EntryBuilder("\xE5"
                                                 "ECOND  TXT")
                                        .Size(1)
                                        .bytes);
  ASSERT_TRUE(collector.TakeFor(second, name));
  EXPECT_EQ(name, "second");

  // 21 deleted parts: the oldest ones are dropped, nothing overruns.
  std::u16string longest(21 * 13, u'x');
  for (const FatDirEntry& e : LongNameParts(longest, "LONG    TXT", kDeletedMark)) collector.Add(e);
  EXPECT_LE(collector.Parts(), LongNameCollector::kMaxParts);
  FatDirEntry longEntry = LoadDirEntry(EntryBuilder("\xE5ONG    TXT").Size(1).bytes);
  ASSERT_TRUE(collector.TakeFor(longEntry, name));
  EXPECT_LE(name.size(), 20u * 13);

  // An unpaired surrogate becomes U+FFFD rather than broken UTF-8.
  std::u16string broken = u"a";
  broken.push_back(0xD800);
  broken += u"b";
  for (const FatDirEntry& e : LongNameParts(broken, "BROKEN  TXT")) collector.Add(e);
  FatDirEntry brokenEntry = LoadDirEntry(EntryBuilder("BROKEN  TXT").Size(1).bytes);
  ASSERT_TRUE(collector.TakeFor(brokenEntry, name));
  EXPECT_EQ(name,
            "a\xEF\xBF\xBD"
            "b");
}

}  // namespace
}  // namespace salvora
