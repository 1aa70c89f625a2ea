// The NTFS structure routines on hand-made bytes: exact edge cases that
// real tools rarely produce.
#include <gtest/gtest.h>

#include <array>

#include "NtfsBytes.h"
#include "ntfs/Lznt1.h"
#include "ntfs/NtfsGeometry.h"
#include "ntfs/NtfsReader.h"
#include "ntfs/NtfsRecord.h"
#include "ntfs/NtfsRunList.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

using test::Put16;
using test::Put64;
using test::RecordBuilder;

std::string Boot(uint16_t bytesPerSector, uint8_t sectorsPerCluster, uint64_t mftCluster,
                 int8_t recordField = -10) {
  std::string boot(512, '\0');
  boot.replace(3, 8, "NTFS    ");
  Put16(boot, 0x0B, bytesPerSector);
  boot[0x0D] = static_cast<char>(sectorsPerCluster);
  Put64(boot, 0x30, mftCluster);
  boot[0x40] = static_cast<char>(recordField);
  return boot;
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// Decodes `runList` as the only attribute of a record.
RunList Decode(const std::string& runList, int* result = nullptr, size_t recordSize = 1024) {
  std::string record = RecordBuilder(40, 1, recordSize).NonResident(0x80, runList, 1).Finish();
  ApplyFixup(reinterpret_cast<uint8_t*>(record.data()), record.size());
  Attribute data;
  EXPECT_TRUE(FindAttribute(Bytes(record), record.size(), 0x80, data));
  RunList runs;
  int code = DecodeRunList(data, runs);
  if (result) *result = code;
  return runs;
}

std::vector<PlacedRun> Place(const RunList& runs) {
  std::vector<PlacedRun> placed;
  RunCursor cursor(runs);
  PlacedRun run;
  while (cursor.Next(run)) placed.push_back(run);
  return placed;
}

TEST(NtfsGeometryTest, BootSectorFieldsGiveSectorClusterAndRecordSizes) {
  NtfsGeometry g;
  ASSERT_EQ(ParseBootSector(Bytes(Boot(0, 8, 4)), 512, 2048, 100000, g), kOk);
  EXPECT_EQ(g.bytesPerSector, 512);
  EXPECT_EQ(g.recordBytes, 1024);
  EXPECT_EQ(g.sectorsPerRecord, 2);
  EXPECT_EQ(g.mftStart, 2048u + 32);

  ASSERT_EQ(ParseBootSector(Bytes(Boot(4096, 1, 4)), 512, 0, 100000, g), kOk);
  EXPECT_EQ(g.recordBytes, 4096);
  EXPECT_EQ(g.sectorsPerRecord, 1);

  ASSERT_EQ(ParseBootSector(Bytes(Boot(512, 0x80, 1)), 512, 0, 1u << 20, g), kOk);
  EXPECT_EQ(g.sectorsPerCluster, 128);
  // 2 MiB clusters are written as a negative power of two.
  ASSERT_EQ(ParseBootSector(Bytes(Boot(512, 0xF4, 1)), 512, 0, 1u << 24, g), kOk);
  EXPECT_EQ(g.sectorsPerCluster, 4096);

  EXPECT_EQ(ParseBootSector(Bytes(Boot(1000, 8, 4)), 512, 0, 100000, g), kInvalidParameter);
  EXPECT_EQ(ParseBootSector(Bytes(Boot(512, 0, 4)), 512, 0, 100000, g), kInvalidParameter);
  EXPECT_EQ(ParseBootSector(Bytes(Boot(512, 8, 1ull << 61)), 512, 0, 100000, g), kInvalidParameter);
}

TEST(NtfsGeometryTest, RecordToSectorFollowsMftRuns) {
  NtfsGeometry g;
  g.partitionStart = 1000;
  g.sectorsPerCluster = 2;
  g.sectorsPerRecord = 2;
  g.mftRuns = {{4, 10, false}, {4, 90, false}};
  EXPECT_EQ(RecordToSector(g, 3), 1000u + 20 + 6);
  // The end of one run is the first sector of the next.
  EXPECT_EQ(RecordToSector(g, 4), 1000u + 200);
  EXPECT_EQ(RecordToSector(g, 7), 1000u + 206);
  EXPECT_EQ(RecordToSector(g, 8), 1000u);
  EXPECT_EQ(RecordToSector(g, UINT64_MAX), 1000u);
  g.mftRuns = {{4, -5, false}};
  EXPECT_EQ(RecordToSector(g, 0), 1000u);
}

TEST(NtfsRunListTest, DecodesLengthsSignedDeltasAndSparseRuns) {
  RunList runs = Decode(std::string("\x11\x30\x20\x11\x10\xF0", 6));
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].length, 0x30u);
  EXPECT_EQ(runs[0].delta, 0x20);
  EXPECT_EQ(runs[1].delta, -16);

  runs = Decode(std::string("\x51\x01\xFF\xFF\xFF\xFF\xFF", 7));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].delta, -1);

  // A sparse run owns no clusters and does not move the running start.
  runs = Decode(std::string("\x11\x04\x40\x01\x08\x11\x04\x10", 8));
  std::vector<PlacedRun> placed = Place(runs);
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_TRUE(placed[1].sparse);
  EXPECT_EQ(placed[1].vcn, 4u);
  EXPECT_EQ(placed[2].lcn, 0x50u);
  EXPECT_EQ(placed[2].vcn, 12u);
}

TEST(NtfsRunListTest, MalformedEntriesCutTheListKeepingEarlierRuns) {
  int result = 0;
  RunList runs = Decode(std::string("\x11\x30\x20\x91\x01\x01", 6), &result);
  EXPECT_EQ(result, kInvalidParameter);
  EXPECT_EQ(runs.size(), 1u);
  // A zero-length run is no run.
  runs = Decode(std::string("\x11\x30\x20\x11\x00\x05", 6), &result);
  EXPECT_EQ(result, kInvalidParameter);
  EXPECT_EQ(runs.size(), 1u);
}

TEST(NtfsRunListTest, LongListsDecodeWholeAndEntriesNeverCrossTheAttribute) {
  std::string list;
  for (int i = 0; i < 600; ++i) list += std::string("\x21\x01\x02\x00", 4);
  RunList runs = Decode(list, nullptr, 4096);
  EXPECT_EQ(runs.size(), 600u);
  EXPECT_EQ(RunListClusters(runs), 600u);

  std::string record = RecordBuilder(40, 1).NonResident(0x80, "", 1).Finish();
  ApplyFixup(reinterpret_cast<uint8_t*>(record.data()), record.size());
  Attribute data;
  ASSERT_TRUE(FindAttribute(Bytes(record), record.size(), 0x80, data));
  // The last entry claims more bytes than its attribute has left.
  uint8_t* tail = const_cast<uint8_t*>(data.base) + data.length - 3;
  tail[0] = 0x44;
  tail[1] = 0x01;
  tail[2] = 0x01;
  data.runListOffset = static_cast<uint16_t>(data.length - 3);
  runs.clear();
  EXPECT_EQ(DecodeRunList(data, runs), kInvalidParameter);
  EXPECT_TRUE(runs.empty());
}

TEST(NtfsRunListTest, LaterPiecesAreRebasedOntoTheRunningStart) {
  RunList runs = Decode(std::string("\x11\x04\x40", 3));
  std::string record = RecordBuilder(41, 1).NonResident(0x80, "\x11\x04\x10", 0, 4).Finish();
  ApplyFixup(reinterpret_cast<uint8_t*>(record.data()), record.size());
  Attribute piece;
  ASSERT_TRUE(FindAttribute(Bytes(record), record.size(), 0x80, piece));
  ASSERT_EQ(DecodeRunList(piece, runs), kOk);
  std::vector<PlacedRun> placed = Place(runs);
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_EQ(placed[1].lcn, 0x10u);
  EXPECT_EQ(placed[1].vcn, 4u);
}

TEST(NtfsRecordTest, FixupRestoresEveryStrideAndRejectsArraysThatDoNotFit) {
  for (size_t size : {size_t{1024}, size_t{4096}}) {
    std::string value(size - 0x100, 'v');
    std::string record = RecordBuilder(40, 1, size).Resident(0x80, value).Finish();
    EXPECT_EQ(static_cast<uint8_t>(record[510]), 0x07);
    ASSERT_EQ(ApplyFixup(reinterpret_cast<uint8_t*>(record.data()), size), kOk);
    for (size_t end = 510; end + 512 < size; end += 512) EXPECT_EQ(record[end], 'v') << end;
  }
  std::string record = RecordBuilder(40, 1).Resident(0x80, "x").Finish();
  std::string bad = record;
  Put16(bad, 0x06, 9);
  EXPECT_EQ(ApplyFixup(reinterpret_cast<uint8_t*>(bad.data()), bad.size()), kInvalidParameter);
  EXPECT_EQ(bad.substr(500), record.substr(500));
  bad = record;
  Put16(bad, 0x04, 0x1FC);
  EXPECT_EQ(ApplyFixup(reinterpret_cast<uint8_t*>(bad.data()), bad.size()), kInvalidParameter);
}

TEST(NtfsRecordTest, WalksStopAtBadLengthsAndNamesMustFit) {
  std::string record = RecordBuilder(40, 1)
                           .FileName(5, u"a.txt", kNameWin32)
                           .Resident(0x80, "data")
                           .Resident(0x90, "z")
                           .Finish();
  ApplyFixup(reinterpret_cast<uint8_t*>(record.data()), record.size());
  auto count = [](const std::string& r) {
    AttributeWalk walk(Bytes(r), r.size());
    Attribute a;
    int n = 0;
    while (walk.Next(a)) ++n;
    return n;
  };
  EXPECT_EQ(count(record), 3);
  Attribute data;
  ASSERT_TRUE(FindAttribute(Bytes(record), record.size(), 0x80, data));
  std::string zeroLength = record;
  test::Put32(zeroLength, data.offset + 4, 0);
  EXPECT_EQ(count(zeroLength), 1);
  std::string overlong = record;
  test::Put32(overlong, data.offset + 4, 0x10000);
  EXPECT_EQ(count(overlong), 1);
  std::string inUseBeyondRecord = record;
  test::Put32(inUseBeyondRecord, 0x18, 0xFFFFFF);
  EXPECT_EQ(count(inUseBeyondRecord), 3);

  Attribute nameAttribute;
  ASSERT_TRUE(FindAttribute(Bytes(record), record.size(), 0x30, nameAttribute));
  FileName name;
  ASSERT_TRUE(ParseFileName(nameAttribute, name));
  EXPECT_EQ(Utf16LeToUtf8(name.name, name.nameUnits), "a.txt");
  std::string longName = record;
  longName[nameAttribute.offset + 0x18 + 0x40] = static_cast<char>(200);
  ASSERT_TRUE(FindAttribute(Bytes(longName), longName.size(), 0x30, nameAttribute));
  EXPECT_FALSE(ParseFileName(nameAttribute, name));
}

TEST(NtfsRecordTest, Utf16NamesBecomeUtf8) {
  const uint8_t units[] = {0x41, 0x00, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8};
  EXPECT_EQ(Utf16LeToUtf8(units, 5), "A\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

TEST(Lznt1Test, DecodesLiteralsAndOverlappingBackReferences) {
  // "abc" and then a reference 3 back, 9 long.
  const uint8_t compressed[] = {0x05, 0xB0, 0x08, 'a', 'b', 'c', 0x06, 0x20, 0x00, 0x00};
  std::array<uint8_t, 16> out;
  ASSERT_EQ(Lznt1Decompress(compressed, sizeof compressed, out.data(), out.size()), kOk);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 12), "abcabcabcabc");
  EXPECT_EQ(out[12], 0);

  const uint8_t reachesBack[] = {0x03, 0xB0, 0x02, 'a', 0x06, 0x50};
  EXPECT_EQ(Lznt1Decompress(reachesBack, sizeof reachesBack, out.data(), out.size()), kFileCorrupt);
  const uint8_t cut[] = {0x40, 0xB0, 0x00, 'a'};
  EXPECT_EQ(Lznt1Decompress(cut, sizeof cut, out.data(), out.size()), kFileCorrupt);
}

}  // namespace
}  // namespace salvora
