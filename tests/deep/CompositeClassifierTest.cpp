// The deep scan's sector classification and walk ranges, with engines
// replaced by recorders.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "deep/CompositeClassifier.h"
#include "deep/CompositeRanges.h"
#include "platform/ErrorCodes.h"
#include "ext/FastExtRecovery.h"

namespace salvora {
namespace {

constexpr uint32_t kSector = 512;

// Remembers which owner got which sector; carves where told to.
class RecordingOwners : public SectorOwners {
 public:
  void OnFileRecord(const uint8_t*, size_t length, uint64_t sector) override {
    records.push_back(sector);
    recordLengths.push_back(length);
  }
  void OnDirectoryStart(const uint8_t*, uint64_t sector) override { starts.push_back(sector); }
  void OnDirectoryEntries(const uint8_t*, uint64_t sector) override { entries.push_back(sector); }
  void OnExfatDirectoryEntries(const uint8_t*, uint64_t sector) override {
    exfatEntries.push_back(sector);
  }
  int Carve(const uint8_t*, uint64_t sector, uint64_t& advance) override {
    carved.push_back(sector);
    auto it = files.find(sector);
    if (it == files.end()) return kInvalidParameter;
    if (it->second == 0) return kCancelled;
    advance = it->second;
    return kOk;
  }
  size_t ReadRecordAt(uint64_t sector, uint8_t* buffer) override {
    rereads.push_back(sector);
    std::memset(buffer, 0, kRecordReadBytes);
    std::memcpy(buffer, disk.data() + sector * kSector, 2 * kSector);
    return kRecordReadBytes;
  }

  std::vector<uint64_t> records, starts, entries, exfatEntries, carved, rereads;
  std::vector<size_t> recordLengths;
  std::map<uint64_t, uint64_t> files;  // sector -> advance (0: cancel)
  std::vector<uint8_t> disk;
};

void PutFileRecord(std::vector<uint8_t>& disk, uint64_t sector, bool directory) {
  uint8_t* s = disk.data() + sector * kSector;
  std::memcpy(s, "FILE", 4);
  s[22] = directory ? 3 : 1;
  s[24] = 0x00, s[25] = 0x02;    // bytes in use 512
  s[28] = 0x00, s[29] = 0x04;    // allocated 1024
  s[48] = 0x11, s[49] = 0x22;    // update sequence number ...
  s[510] = 0x11, s[511] = 0x22;  // ... at the sector's end
}

void PutDotEntries(std::vector<uint8_t>& disk, uint64_t sector) {
  uint8_t* s = disk.data() + sector * kSector;
  std::memset(s, ' ', 11);
  s[0] = '.';
  s[11] = 0x10;
  std::memset(s + 32, ' ', 11);
  s[32] = s[33] = '.';
  s[43] = 0x10;
}

// An exFAT file entry, its stream extension and one name entry.
void PutExfatEntries(std::vector<uint8_t>& disk, uint64_t sector) {
  uint8_t* s = disk.data() + sector * kSector;
  s[0] = 0x85, s[1] = 2;
  s[32] = 0xC0, s[35] = 1;
  s[64] = 0xC1, s[66] = 'x';
}

TEST(CompositeClassifierTest, EachSectorGoesToExactlyOneOwner) {
  RecordingOwners owners;
  owners.disk.assign(16 * kSector, 0);
  PutFileRecord(owners.disk, 2, false);
  PutFileRecord(owners.disk, 6, true);  // a directory record: nobody's
  PutDotEntries(owners.disk, 9);
  PutExfatEntries(owners.disk, 4);
  owners.files[1012] = 3;  // a carved file over sectors 12-14
  uint64_t carveFrom = 0;
  bool cancelled = false;
  EXPECT_EQ(ClassifyChunk(owners.disk.data(), 16, kSector, 1000, owners, carveFrom, cancelled),
            16u);
  EXPECT_FALSE(cancelled);
  EXPECT_EQ(carveFrom, 1015u);
  EXPECT_EQ(owners.records, (std::vector<uint64_t>{1002}));
  EXPECT_EQ(owners.starts, (std::vector<uint64_t>{1009}));
  EXPECT_EQ(owners.exfatEntries, (std::vector<uint64_t>{1004}));
  // The directory record's second sector is no record and is carved; the
  // carved file's own sectors are skipped.
  std::vector<uint64_t> carvedExpected;
  for (uint64_t s = 0; s < 16; ++s)
    if (s != 2 && s != 4 && s != 6 && s != 9 && s != 13 && s != 14)
      carvedExpected.push_back(1000 + s);
  EXPECT_EQ(owners.carved, carvedExpected);
}

// A carved file running ten sectors past the chunk: the next chunk carves
// nothing in those ten sectors, yet hands a directory sector among them to
// the FAT engine (a file measured too long hides no file system).
TEST(CompositeClassifierTest, CarvedFileRunningPastTheChunkIsNotCarvedAgain) {
  RecordingOwners owners;
  owners.disk.assign(16 * kSector, 0);
  owners.files[6] = 12;  // sectors 6..17
  PutDotEntries(owners.disk, 11);
  uint64_t carveFrom = 0;
  bool cancelled = false;
  EXPECT_EQ(ClassifyChunk(owners.disk.data(), 8, kSector, 0, owners, carveFrom, cancelled), 8u);
  EXPECT_EQ(carveFrom, 18u);
  owners.carved.clear();
  ClassifyChunk(owners.disk.data() + 8 * kSector, 8, kSector, 8, owners, carveFrom, cancelled);
  EXPECT_TRUE(owners.carved.empty());
  EXPECT_EQ(owners.starts, (std::vector<uint64_t>{11}));
}

TEST(CompositeClassifierTest, CancelStopsAtTheCancelledSector) {
  RecordingOwners owners;
  owners.disk.assign(8 * kSector, 0);
  owners.files[5] = 0;
  uint64_t carveFrom = 0;
  bool cancelled = false;
  EXPECT_EQ(ClassifyChunk(owners.disk.data(), 8, kSector, 0, owners, carveFrom, cancelled), 5u);
  EXPECT_TRUE(cancelled);
}

TEST(CompositeClassifierTest, RecordCrossingTheChunkEndIsReadWhole) {
  RecordingOwners owners;
  owners.disk.assign(9 * kSector, 0);
  PutFileRecord(owners.disk, 7, false);
  uint64_t carveFrom = 0;
  bool cancelled = false;
  ClassifyChunk(owners.disk.data(), 8, kSector, 0, owners, carveFrom, cancelled);
  EXPECT_EQ(owners.rereads, (std::vector<uint64_t>{7}));
  ASSERT_EQ(owners.records.size(), 1u);
  EXPECT_EQ(owners.recordLengths[0], kRecordReadBytes);
}

TEST(CompositeClassifierTest, RecordHeaderTestsSizesAndUpdateSequence) {
  std::vector<uint8_t> disk(kSector, 0);
  PutFileRecord(disk, 0, false);
  EXPECT_TRUE(LooksLikeFileRecord(disk.data(), kSector));
  disk[510] = 0;  // torn: the sector's end does not match
  EXPECT_FALSE(LooksLikeFileRecord(disk.data(), kSector));
  PutFileRecord(disk, 0, false);
  disk[29] = 0x10;  // allocated 4096: not a record of this disk
  EXPECT_FALSE(LooksLikeFileRecord(disk.data(), kSector));
  EXPECT_EQ(FileRecordBytes(512), 1024u);
  EXPECT_EQ(FileRecordBytes(4096), 4096u);
}

// A usage map that answers whatever it was told, to try the guards.
class ScriptedMap final : public CFastExtRecovery {
 public:
  int NextFreeRange(uint64_t& sector, uint64_t& count) override {
    ++calls;
    if (calls > 1000) return 0;  // the guard must have stopped long before
    auto it = answers.upper_bound(sector);
    if (it == answers.begin()) return 1;
    --it;
    sector = it->second.first;
    count = it->second.second;
    return 1;
  }
  std::map<uint64_t, std::pair<uint64_t, uint64_t>> answers;  // from -> (start, count)
  int calls = 0;
};

TEST(CompositeRangesTest, WithoutUsageMapTheWholeVolumeIsOneRange) {
  CFastExtRecovery placeholder;
  EXPECT_FALSE(HasUsableFreeMap(placeholder));
  WalkRanges ranges(nullptr, 5000);
  WalkRange range;
  ASSERT_TRUE(ranges.Next(0, range));
  EXPECT_EQ(range.start, 0u);
  EXPECT_EQ(range.length, 5000u);
  EXPECT_FALSE(ranges.Next(range.End(), range));
  EXPECT_EQ(ranges.Total(), 5000u);
}

TEST(CompositeRangesTest, FreeRangesAreTrimmedAndAlwaysMoveForward) {
  ScriptedMap map;
  map.answers[0] = {100, 50};     // 100-149
  map.answers[150] = {120, 60};   // overlaps: trimmed to 150-179
  map.answers[180] = {900, 500};  // past the volume's end at 1000: 900-999
  map.answers[1000] = {0, 10};    // goes back: ends the walk
  WalkRanges ranges(&map, 1000);
  EXPECT_EQ(ranges.Total(), 50u + 30u + 100u);
  ScriptedMap stuck;  // answers the same range for ever
  stuck.answers[0] = {10, 5};
  WalkRanges stuckRanges(&stuck, 1000);
  EXPECT_EQ(stuckRanges.Total(), 5u);
  EXPECT_LT(stuck.calls, 10);
}

}  // namespace
}  // namespace salvora
