#include <gtest/gtest.h>
#include <unistd.h>

#include "clusters/FatTable.h"
#include "clusters/WalkProgress.h"
#include "fat/FatFileCopy.h"
#include "fat/FatTestImage.h"
#include "platform/ErrorCodes.h"
#include "support/ReadFaults.h"

namespace salvora {
namespace {

using test::Quote;

bool HaveFatTools() { return test::HaveCommand("mkfs.fat") && test::HaveCommand("mcopy"); }

class FatWidths : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
    image = test::MakeFatImage(dir, GetParam());
    layout = test::ImageLayout(image);
    cluster = layout.ClusterBytes();
  }
  std::string Content(size_t clusters, uint64_t seed) const {
    return test::PseudoRandomBytes(clusters * cluster, seed);
  }
  test::TempDir dir;
  std::string image;
  FatLayout layout;
  uint32_t cluster = 0;
};

// A file written into a hole and on after the next file is fragmented;
// its chain must read exactly as mtools wrote it, 12-bit FATs included.
TEST_P(FatWidths, ChainsAndFreeRangesFollowTheFat) {
  test::PutFile(dir, image, "A.BIN", Content(5, 1));
  test::PutFile(dir, image, "B.BIN", Content(3, 2));
  test::Mtools("mdel", image, "::/A.BIN");
  if (GetParam() == 32) test::PatchImage(image, 512 + 0x1EC, std::string("\x02\0\0\0", 4));
  test::PutFile(dir, image, "D.BIN", Content(8, 3));
  auto runs = test::ClusterRuns(image, "D.BIN");
  ASSERT_EQ(runs.size(), 2u) << "D.BIN should be fragmented";
  auto bRuns = test::ClusterRuns(image, "B.BIN");
  ASSERT_EQ(bRuns.size(), 1u);

  SectorSource source;
  ASSERT_EQ(source.OpenImage(image), 0);
  FatTable fat(FatVolumeReader{&source, 0, layout});
  std::vector<uint32_t> expected, walked;
  for (auto [first, last] : runs)
    for (uint32_t c = first; c <= last; ++c) expected.push_back(c);
  for (uint32_t c = runs[0].first; c != 0 && walked.size() < 100;) {
    walked.push_back(c);
    ASSERT_EQ(fat.NextCluster(c, c), 0);
  }
  EXPECT_EQ(walked, expected);

  // Freeing B leaves a hole of three clusters between D's pieces.
  test::Mtools("mdel", image, "::/B.BIN");
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->BuildUsageMap(), 0);
  uint64_t spc = layout.sectorsPerCluster;
  uint64_t sector = 0, count = 0;
  ASSERT_EQ(engine->NextFreeRange(sector, count), 1);
  EXPECT_EQ(sector, layout.ClusterSector(bRuns[0].first));
  EXPECT_EQ(count, 3 * spc);
  uint64_t inFat = layout.fatStart + 1, fatCount = 0;
  ASSERT_EQ(engine->NextFreeRange(inFat, fatCount), 1);
  EXPECT_EQ(inFat, sector) << "the FAT area is never free";
  EXPECT_EQ(fatCount, count);
  sector += count;
  ASSERT_EQ(engine->NextFreeRange(sector, count), 1);
  EXPECT_EQ(sector, layout.ClusterSector(runs[1].second + 1)) << "D's second piece is skipped";
  EXPECT_EQ(sector + count, layout.ClusterSector(layout.MaxCluster() + 1));
  sector += 1;  // inside a free cluster: stays where it is
  uint64_t inside = sector;
  ASSERT_EQ(engine->NextFreeRange(sector, count), 1);
  EXPECT_EQ(sector, inside);
  sector = layout.totalSectors + 10;
  ASSERT_EQ(engine->NextFreeRange(sector, count), 1);
  EXPECT_EQ(count, 0u);
}

// A deleted file whose run is interrupted by a cluster now in use goes on
// with the next free cluster; when the volume ends first, what was read is
// kept and the copy reports a failure.
TEST_P(FatWidths, DeletedFilesSkipAllocatedClustersAndFailAtTheVolumeEnd) {
  std::string x = Content(5, 11);
  test::PutFile(dir, image, "X.BIN", x);
  test::PutFile(dir, image, "Y.BIN", Content(2, 12));
  uint32_t xFirst = test::ClusterRuns(image, "X.BIN")[0].first;
  uint32_t yLast = test::ClusterRuns(image, "Y.BIN")[0].second;
  test::Mtools("mdel", image, "::/X.BIN");
  // Another file took X's third cluster after the deletion.
  test::SetFatEntry(image, xFirst + 2, 0x0FFFFFFF);
  test::PatchImage(image, test::ClusterOffset(layout, xFirst + 2), std::string(cluster, 'Z'));

  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  std::string target = dir / "x.bin";
  ASSERT_EQ(engine.RecoverListed("!.bin", target), 0);
  std::string expected = x.substr(0, 2 * cluster) + x.substr(3 * cluster, 2 * cluster) +
                         test::ReadImage(image, test::ClusterOffset(layout, yLast + 1), cluster);
  EXPECT_TRUE(test::ReadFile(target) == expected);

  // Claim far more than the volume holds.
  uint64_t entry = test::FindInImage(image,
                                     "\xE5"
                                     "       BIN");
  ASSERT_NE(entry, UINT64_MAX);
  test::PatchImage(image, entry + 28, std::string("\0\0\0\x7F", 4));
  test::EngineOnImage again(image);
  ASSERT_EQ(again->Scan(nullptr), 0);
  auto found = again.FoundFiles();
  struct Reports {
    int failures = 0, lastError = 0;
  } reports;
  again->SetCallbacks(
      nullptr,
      [](void* user, int32_t, int32_t, int32_t error, const char*) {
        auto* r = static_cast<Reports*>(user);
        if (error != 0) ++r->failures, r->lastError = error;
        return 0;
      },
      &reports, 100);
  std::string truncated = dir / "truncated.bin";
  EXPECT_EQ(again->RecoverItem(&found["!.bin"], truncated, 0), kReadFault);
  EXPECT_EQ(reports.failures, 1);
  EXPECT_EQ(reports.lastError, kReadFault);
  std::string kept = test::ReadFile(truncated);
  EXPECT_GT(kept.size(), 4u * cluster);
  EXPECT_LT(kept.size(), 0x7F000000u);
  EXPECT_TRUE(kept.compare(0, 2 * cluster, x, 0, 2 * cluster) == 0);
}

INSTANTIATE_TEST_SUITE_P(FatEngine, FatWidths, ::testing::Values(12, 16, 32),
                         [](const auto& info) { return "Fat" + std::to_string(info.param); });

TEST(FatEngine, DeletedFat32FolderGetsItsClearedHighWordBack) {
  if (!HaveFatTools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
  test::TempDir dir;
  std::string image = test::MakeFatImage(dir, 32);
  FatLayout layout = test::ImageLayout(image);
  test::PutFile(dir, image, "FILLER.BIN", std::string(65600 * 512, '\0'));
  test::Mtools("mmd", image, "::/HIGHDIR");
  std::string content = test::PseudoRandomBytes(3000, 7);
  test::PutFile(dir, image, "HIGHDIR/X.BIN", content);
  ASSERT_GT(test::ClusterRuns(image, "HIGHDIR/X.BIN")[0].first, 0xFFFFu);
  uint32_t highDir = test::ClusterRuns(image, "HIGHDIR")[0].first;
  test::Mtools("mdeltree", image, "::/HIGHDIR");
  uint64_t entry = test::FindInImage(image, "\xE5IGHDIR    ");
  ASSERT_NE(entry, UINT64_MAX);
  test::PatchImage(image, entry + 20, std::string("\0\0", 2));

  // The low word alone names another directory's start: only the start
  // that names itself is the deleted folder's.
  std::string start = test::ReadImage(image, test::ClusterOffset(layout, highDir), 64);
  start[26] = 5, start[27] = 0, start[20] = start[21] = 0;
  test::PatchImage(image, test::ClusterOffset(layout, highDir & 0xFFFF), start);

  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  std::string target = dir / "x.bin";
  ASSERT_EQ(engine.RecoverListed("!ighdir/!.bin", target), 0);
  EXPECT_TRUE(test::ReadFile(target) == content);
}

TEST(FatEngine, ScanReportsProgressAndStopsWhenCancelled) {
  if (!HaveFatTools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
  test::TempDir dir;
  std::string image = test::MakeFatImage(dir, 16);
  test::Mtools("mmd", image, "::/D");
  test::PutFile(dir, image, "D/GONE.BIN", "gone");
  test::Mtools("mdel", image, "::/D/GONE.BIN");

  struct Calls {
    std::vector<int32_t> percents;
    int32_t scale = 0;
    int answer = 0;
  } calls;
  ScanProgressFn record = [](void* user, int32_t percent, int32_t scale, int32_t, uint64_t,
                             uint64_t, uint64_t, int32_t) {
    auto* c = static_cast<Calls*>(user);
    c->percents.push_back(percent);
    c->scale = scale;
    return c->answer;
  };
  test::EngineOnImage engine(image);
  engine->SetCallbacks(record, nullptr, &calls, 100);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  EXPECT_EQ(calls.percents, (std::vector<int32_t>{1, 80, 100}));
  EXPECT_EQ(calls.scale, 100);
  EXPECT_EQ(engine.FoundFiles().size(), 1u);

  calls = Calls{};
  calls.answer = kCancelled;
  engine->SetCallbacks(record, nullptr, &calls, 9);
  EXPECT_EQ(engine->Scan(nullptr), kCancelled);
  EXPECT_EQ(calls.percents, (std::vector<int32_t>{1})) << "nothing is walked after a cancel";
  EXPECT_EQ(calls.scale, 9);
  EXPECT_EQ(engine->GetRecordCount(), 0u) << "a second scan starts a new store";
}

TEST(WalkProgress, ValuesCreepForwardAndStayBelowTheFinalReports) {
  std::vector<std::pair<int32_t, int32_t>> reports;
  auto keep = [&](int32_t percent, int32_t seconds) {
    reports.emplace_back(percent, seconds);
    return 0;
  };
  WalkProgress whole(100, keep, 0);
  whole.Start();
  for (int i = 0; i < 100; ++i) whole.Tick();
  ASSERT_EQ(reports.size(), 101u);
  EXPECT_EQ(reports[0], std::make_pair(1, -1));
  EXPECT_EQ(reports[1], std::make_pair(2, 99));
  EXPECT_EQ(reports.back().first, 79);
  EXPECT_GE(reports.back().second, 1);

  reports.clear();
  WalkProgress deep(9, keep, 0);
  deep.Start();
  deep.Tick();
  EXPECT_EQ(reports[1], std::make_pair(21, -1));

  reports.clear();
  WalkProgress other(50, keep, 0);
  other.Start();
  other.Tick();
  EXPECT_EQ(reports.size(), 1u) << "other scales get no timed reports";

  WalkProgress stopping(
      100, [](int32_t, int32_t) { return 7; }, 0);
  EXPECT_EQ(stopping.Tick(), 7);
}

TEST(FatEngine, PreviewGoesToMemoryOrToItsTemporaryFile) {
  if (!HaveFatTools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
  test::TempDir dir;
  std::string image = test::MakeFatImage(dir, 12);
  std::string content = test::PseudoRandomBytes(5000, 3);
  test::PutFile(dir, image, "Some data.dat", content);
  test::PutFile(dir, image, "Manual.pdf", content);
  test::Mtools("mdel", image, Quote("::/Some data.dat") + " ::/Manual.pdf");
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  auto found = engine.FoundFiles();
  ASSERT_EQ(found.size(), 2u);

  std::vector<uint8_t> memory(8000);
  uint32_t size = 1000;
  std::string path;
  ASSERT_EQ(engine->ExtractForPreview(&found["Some data.dat"], path, memory.data(), size, nullptr,
                                      nullptr),
            0);
  EXPECT_EQ(size, 1000u) << "never more than the caller's room";
  EXPECT_EQ(std::string(memory.begin(), memory.begin() + 1000), content.substr(0, 1000));

  size = static_cast<uint32_t>(memory.size());
  ASSERT_EQ(
      engine->ExtractForPreview(&found["Manual.pdf"], path, memory.data(), size, nullptr, nullptr),
      0);
  EXPECT_EQ(size, 0u);
  EXPECT_NE(path.find("Manual.pdf"), std::string::npos) << path;
  EXPECT_TRUE(test::ReadFile(path) == content);
}

// Volumes that no tool writes: each must scan to the end without a crash
// or a loop, and give what can still be given.
class HostileFat : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFatTools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
    image = test::MakeFatImage(dir, 32);
    layout = test::ImageLayout(image);
    test::Mtools("mmd", image, "::/A ::/A/B");
    test::PutFile(dir, image, "A/B/GONE.BIN", content);
    test::PutFile(dir, image, "A/LIVE.BIN", content);
    test::Mtools("mdel", image, "::/A/B/GONE.BIN");
    a = test::ClusterRuns(image, "A")[0].first;
    b = test::ClusterRuns(image, "A/B")[0].first;
  }
  std::map<std::string, FoundRecord> ScanAndRecoverAll(int expectedScan = 0) {
    test::EngineOnImage engine(image);
    EXPECT_EQ(engine->Scan(nullptr), expectedScan);
    auto found = engine.FoundFiles();
    for (auto& [name, record] : found)
      engine->RecoverItem(&record, dir / ("out/" + std::to_string(record.recordNo)), 0);
    return found;
  }
  test::TempDir dir;
  std::string image;
  FatLayout layout;
  std::string content = test::PseudoRandomBytes(2000, 9);
  uint32_t a = 0, b = 0;
};

TEST_F(HostileFat, DirectoryLoopsAndCyclingChainsEnd) {
  // B's chain runs back into A, A's into itself; a deleted entry in B
  // names A again.
  test::SetFatEntry(image, b, a);
  test::SetFatEntry(image, a, a);
  uint64_t gone = test::FindInImage(image, "\xE5ONE    BIN");
  ASSERT_NE(gone, UINT64_MAX);
  std::string loop = test::ReadImage(image, gone, 32);
  loop.replace(0, 11, "\xE5OOP       ");
  loop[11] = 0x10;
  loop[20] = static_cast<char>(a >> 16), loop[21] = static_cast<char>(a >> 24);
  loop[26] = static_cast<char>(a), loop[27] = static_cast<char>(a >> 8);
  test::PatchImage(image, gone + 32, loop);
  auto found = ScanAndRecoverAll();
  EXPECT_EQ(found.size(), 1u);
  EXPECT_TRUE(found.count("a/b/!one.bin"));
}

TEST_F(HostileFat, PointersOutsideTheVolumeEndChainsAndAreNotWalked) {
  auto live = test::ClusterRuns(image, "A/LIVE.BIN");
  uint64_t gone = test::FindInImage(image, "\xE5ONE    BIN");
  std::string far = test::ReadImage(image, gone, 32);
  far.replace(0, 11,
              "\xE5"
              "FAR       ");
  far[11] = 0x10;
  far[20] = far[21] = static_cast<char>(0xFF);
  test::PatchImage(image, gone + 32, far);
  test::SetFatEntry(image, b, 0x0FFFFFF0 - 1);
  test::SetFatEntry(image, live[0].first, 0x0FFFFF00);
  auto found = ScanAndRecoverAll();
  EXPECT_TRUE(found.count("a/b/!one.bin"));

  // The bad pointer does not leave the rest of the map looking free.
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->BuildUsageMap(), 0);
  uint64_t sector = layout.ClusterSector(live[0].first), count = 0;
  ASSERT_EQ(engine->NextFreeRange(sector, count), 1);
  EXPECT_GT(sector, layout.ClusterSector(live.back().second));
}

TEST_F(HostileFat, AbsurdBootValuesAreRefusedWithoutReadingAnything) {
  for (uint8_t spc : {0, 3, 255}) {
    test::PatchImage(image, 13, std::string(1, static_cast<char>(spc)));
    test::EngineOnImage engine(image);
    EXPECT_EQ(engine.openResult(), kInvalidParameter) << int{spc};
    EXPECT_EQ(engine->Scan(nullptr), 0) << "nothing found, and a deep scan may go on";
    EXPECT_EQ(engine->GetRecordCount(), 0u);
    EXPECT_EQ(engine->BuildUsageMap(), kInvalidParameter);
    uint64_t sector = 5, count = 9;
    EXPECT_EQ(engine->NextFreeRange(sector, count), 0);
    EXPECT_EQ(sector, 5u);
  }
}

// Imaging that stopped early leaves an image of a large volume that ends
// inside its data: the engine finds and copies what is there, its free space
// ends with the image, and the FAT costs one read however large the volume.
TEST_F(HostileFat, ATruncatedImageIsReadAsFarAsItGoes) {
  auto live = test::ClusterRuns(image, "A/LIVE.BIN");
  uint64_t endSector = layout.ClusterSector(live.back().second + 1);
  ASSERT_EQ(::truncate(image.c_str(), static_cast<off_t>(endSector * layout.bytesPerSector)), 0);
  test::ReadFaults counted;
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  auto found = engine.FoundFiles();
  ASSERT_TRUE(found.count("a/b/!one.bin"));
  ASSERT_EQ(engine->RecoverItem(&found["a/b/!one.bin"], dir / "gone", 0), 0);
  EXPECT_TRUE(test::ReadFile(dir / "gone") == content);
  uint64_t before = counted.Reads();
  ASSERT_EQ(engine->BuildUsageMap(), 0);
  uint64_t fatBytes = uint64_t{layout.fatSectors} * layout.bytesPerSector;
  EXPECT_LE(counted.Reads() - before, fatBytes / kTransferChunkBytes + 1) << "one FAT window";
  uint64_t sector = 0, count = 0;
  for (int ranges = 0; engine->NextFreeRange(sector, count) == 1 && count > 0; ++ranges) {
    ASSERT_LT(ranges, 1000);
    EXPECT_LE(sector + count, endSector);
    sector += count;
  }
}

TEST(FatFileCopy, AbsurdRecordsAreRefused) {
  struct NullSink final : DataSink {
    NullSink() : DataSink(100) {}
    void ReportFailure(int) override {}
    int ReportDone() override { return 0; }
    int Store(const void*, size_t) override { return 0; }
    int Report(int32_t) override { return 0; }
  } sink;
  SectorSource source;
  FatVolumeReader volume{&source, 0, FatLayout{}};
  FoundRecord record{};
  record.fileSize = 100;
  record.firstCluster = 2;
  record.clusterBytes = kMaxCopyClusterBytes + 512;
  EXPECT_EQ(CopyFatFile(volume, nullptr, record, sink), kWriteFault);
  record.clusterBytes = 700;
  EXPECT_EQ(CopyFatFile(volume, nullptr, record, sink), kInvalidParameter);
  record.clusterBytes = 512;
  record.firstCluster = 0;
  EXPECT_EQ(CopyFatFile(volume, nullptr, record, sink), kInvalidParameter);
  record.firstCluster = 2;
  EXPECT_NE(CopyFatFile(volume, nullptr, record, sink), 0) << "nothing to read from";
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

// A new folder that took a deleted folder's cluster is walked as itself,
// the folder its ".." names, so its live files are not listed as deleted.
TEST(FatEngine, AFolderThatTookADeletedFoldersClusterKeepsItsLiveFiles) {
  if (!HaveFatTools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
  test::TempDir dir;
  std::string image = test::MakeFatImage(dir, 16);
  test::Mtools("mmd", image, "::/A ::/B ::/B/OLD");
  test::PutFile(dir, image, "B/OLD/F.BIN", test::PseudoRandomBytes(3000, 1));
  uint32_t old = test::ClusterRuns(image, "B/OLD")[0].first;
  test::Mtools("mdeltree", image, "::/B/OLD");
  test::Mtools("mmd", image, "::/A/NEWDIR");
  ASSERT_EQ(test::ClusterRuns(image, "A/NEWDIR")[0].first, old);
  test::PutFile(dir, image, "A/NEWDIR/LIVE.BIN", test::PseudoRandomBytes(3000, 2));
  test::EngineOnImage engine(image);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  EXPECT_TRUE(engine.FoundFiles().empty());
}

}  // namespace
}  // namespace salvora
