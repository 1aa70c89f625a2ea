// The quick NTFS engine end to end on a volume made by mkntfs and written
// by ntfs-3g: what the scan lists, what recovery writes, and that our
// structure routines read live files exactly as ntfs-3g's own ntfscat does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "NtfsVolumeFixture.h"
#include "ntfs/FastNtfsRecovery.h"
#include "ntfs/NtfsDataCopy.h"
#include "ntfs/NtfsRunList.h"
#include "platform/ErrorCodes.h"
#include "results/RecoveryNames.h"
#include "storage/EngineSelection.h"
#include "support/NtfsRecordProbe.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::NtfsVolumeFixture;

using Tree = std::map<std::string, FoundRecord>;

void CollectTree(IFileRecoveryParse& engine, const FoundRecord* folder, int depth,
                 const std::string& prefix, Tree& out) {
  std::vector<FoundRecord> children;
  ASSERT_EQ(engine.ListFolder(folder, depth, children), kOk);
  for (const FoundRecord& child : children) {
    std::string path = prefix + child.name;
    EXPECT_EQ(out.count(path), 0u) << "listed twice: " << path;
    out[path] = child;
    if (child.isFolder && depth < 16) CollectTree(engine, &child, depth + 1, path + "/", out);
  }
}

class NtfsQuickScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!volume().skipReason.empty()) GTEST_SKIP() << volume().skipReason;
  }
  static const NtfsVolumeFixture& volume() { return NtfsVolumeFixture::Get(); }

  // Scans `image` (the fixture's by default) with a fresh engine.
  std::unique_ptr<CFastNtfsRecovery> Scan(const std::string& image = "") {
    auto engine = std::make_unique<CFastNtfsRecovery>();
    EXPECT_EQ(engine->OpenImage(image.empty() ? volume().image : image, 7), kOk);
    EXPECT_EQ(engine->Scan(nullptr), kOk);
    return engine;
  }

  test::ScopedDataDir data_;
  test::TempDir out_;
};

TEST_F(NtfsQuickScanTest, DeletedFilesAreListedUnderTheirFoldersAndRecoveredExactly) {
  auto engine = Scan();
  Tree tree;
  CollectTree(*engine, nullptr, 0, "", tree);
  size_t staleFileNameSizes = 0;
  for (const std::string& path : volume().deleted) {
    std::string listed = volume().ListedPath(path);
    ASSERT_EQ(tree.count(listed), 1u) << listed;
    const FoundRecord& found = tree[listed];
    EXPECT_EQ(uint32_t{found.isFolder}, 0u);
    EXPECT_EQ(uint32_t{found.engineKind}, kQuickNtfs);
    EXPECT_EQ(uint16_t{found.sourceTag}, 7);
    EXPECT_EQ(uint64_t{found.fileSize}, std::filesystem::file_size(volume().Original(path)))
        << path;
    // ntfs-3g leaves the copy of the size in the record's $FILE_NAME at 0.
    auto staleSize = test::FileNameSizeOfRecord(volume().image, found.entrySector);
    staleFileNameSizes += staleSize && *staleSize != found.fileSize;
    std::string folder;
    ASSERT_EQ(engine->GetRecordPath(found, folder), kOk);
    EXPECT_EQ(folder, listed.substr(0, listed.rfind('/') + 1));
  }
  EXPECT_GT(staleFileNameSizes, 0u) << "no file of the volume shows a stale $FILE_NAME size";
  // Live files are not deleted files; live and deleted folders of a chain
  // are folders, each written once.
  for (const auto& [path, record] : volume().live) EXPECT_EQ(tree.count(path), 0u) << path;
  for (const char* folder : {"docs", "docs/2024", "docs/2024/q1", "docs/2024/q1/deep", "packed"}) {
    ASSERT_EQ(tree.count(folder), 1u) << folder;
    EXPECT_EQ(uint32_t{tree[folder].isFolder}, 1u);
  }
  if (volume().folderRecordReused) {
    std::string lost = "LostFolder" + std::to_string(volume().reusedFolderRecord);
    ASSERT_EQ(tree.count(lost), 1u);
    EXPECT_EQ(uint32_t{tree[lost].clusterBytes}, 0xFFFFFFFFu);
    EXPECT_EQ(uint64_t{tree[lost].entrySector}, 0u);
  }
  for (const auto& [path, found] : tree) EXPECT_GE(uint32_t{found.firstCluster}, 12u) << path;

  // Every file comes back byte for byte; so does a deleted folder with its
  // whole subtree.
  for (const std::string& path : volume().deleted) {
    const FoundRecord& found = tree[volume().ListedPath(path)];
    std::string target = out_ / SafeRecordName(found);
    ASSERT_EQ(engine->RecoverItem(&found, target, PathDepth(out_.path())), kOk) << path;
    EXPECT_EQ(test::FileSha256(target), test::FileSha256(volume().Original(path))) << path;
  }
  std::string folder = out_ / "2024";
  ASSERT_EQ(engine->RecoverItem(&tree["docs/2024"], folder, PathDepth(out_.path())), kOk);
  for (const std::string& path : volume().deleted) {
    if (path.rfind("docs/2024/", 0) != 0) continue;
    std::string copy = folder + "/" + path.substr(10);
    EXPECT_EQ(test::FileSha256(copy), test::FileSha256(volume().Original(path))) << copy;
  }
}

TEST_F(NtfsQuickScanTest, LiveFilesAndFreeSpaceAgreeWithNtfs3g) {
  if (!test::HaveCommand("ntfscat")) GTEST_SKIP() << "ntfscat is not installed";
  auto engine = Scan();
  const NtfsGeometry& geometry = engine->Geometry();
  NtfsReader reader(engine->Source(), geometry);
  for (const auto& [path, record] : volume().live) {
    uint64_t sector = RecordToSector(geometry, record);
    uint64_t size = 0;
    ASSERT_EQ(reader.ReadDataSize(sector, size), kOk) << path;
    std::vector<uint8_t> memory(size);
    PreviewSink sink(size, true, memory.data(), static_cast<uint32_t>(size), nullptr, nullptr);
    ClusterPlacement at{geometry.partitionStart, geometry.ClusterBytes(), geometry.bytesPerSector};
    ASSERT_EQ(CopyRecordData(reader, sector, at, sink), kOk) << path;
    std::string reference = out_ / "reference";
    test::MustRun("ntfscat " + test::Quote(volume().image) + " " + test::Quote("/" + path) + " > " +
                  test::Quote(reference));
    EXPECT_EQ(std::string(memory.begin(), memory.end()), test::ReadFile(reference)) << path;
  }
  // The fragmented file really is: its run list is longer than a sector.
  RunList runs;
  ASSERT_EQ(reader.ReadAttributeRuns(RecordToSector(geometry, volume().live.at("fragkeep.bin")),
                                     kAttrData, runs),
            kOk);
  EXPECT_GT(runs.size(), 60u);

  // The free-cluster map agrees with the free space ntfs-3g reported.
  uint64_t sector = 0, count = 0;
  EXPECT_EQ(engine->NextFreeRange(sector, count), 0) << "no map yet";
  ASSERT_EQ(engine->BuildUsageMap(), kOk);
  uint64_t freeSectors = 0;
  uint64_t ranges = 0;
  for (sector = 0;; sector += count) {
    ASSERT_EQ(engine->NextFreeRange(sector, count), 1);
    if (count == 0) break;
    if (ranges++ == 0) {
      EXPECT_GT(sector, 0u) << "the boot sector is in use";
    }
    freeSectors += count;
  }
  EXPECT_EQ(sector, engine->Geometry().totalSectors);
  EXPECT_EQ(freeSectors * 512, volume().freeBytes);
}

TEST_F(NtfsQuickScanTest, ProgressEndsAtHundredAndACancelStopsTheScan) {
  struct Seen {
    std::vector<int32_t> percents;
    int answer = 0;
  } seen;
  auto callback = [](void* user, int32_t percent, int32_t, int32_t, uint64_t, uint64_t, uint64_t,
                     int32_t) {
    auto* s = static_cast<Seen*>(user);
    s->percents.push_back(percent);
    return s->answer;
  };
  CFastNtfsRecovery engine;
  ASSERT_EQ(engine.OpenImage(volume().image, 1), kOk);
  engine.SetCallbacks(callback, nullptr, &seen, 100);
  ASSERT_EQ(engine.Scan(nullptr), kOk);
  ASSERT_GE(seen.percents.size(), 2u);
  EXPECT_EQ(seen.percents.back(), 100);
  std::vector<FoundRecord> first, again;
  engine.ListByType("*.txt", first);
  // A second scan within the same minute starts a store of its own.
  ASSERT_EQ(engine.Scan(nullptr), kOk);
  engine.ListByType("*.txt", again);
  EXPECT_EQ(again.size(), first.size());

  seen.percents.clear();
  seen.answer = kCancelled;
  EXPECT_EQ(engine.Scan(nullptr), kCancelled);
  EXPECT_EQ(seen.percents.size(), 1u);
}

TEST_F(NtfsQuickScanTest, AParentCycleEndsTheWalkAndTheFileIsStillListed) {
  auto engine = Scan();
  Tree tree;
  CollectTree(*engine, nullptr, 0, "", tree);
  uint32_t q1 = tree["docs/2024/q1"].firstCluster;
  uint32_t deep = tree["docs/2024/q1/deep"].firstCluster;
  // Point q1's parent at its own child "deep": deep -> q1 -> deep.
  std::string copy = out_ / "cycle.img";
  std::filesystem::copy_file(volume().image, copy);
  {
    std::vector<uint8_t> record(kMaxRecordBytes);
    NtfsReader reader(engine->Source(), engine->Geometry());
    uint64_t sector = RecordToSector(engine->Geometry(), q1);
    ASSERT_EQ(reader.ReadRecordAt(sector, record.data()), kOk);
    Attribute name;
    ASSERT_TRUE(FindAttribute(record.data(), 1024, kAttrFileName, name));
    size_t at = name.offset + (name.value - name.base);
    ASSERT_LT(at % 512, 508u);
    std::fstream file(copy, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(sector * 512 + at));
    file.write(reinterpret_cast<const char*>(&deep), 4);
  }
  auto cycled = Scan(copy);
  std::vector<FoundRecord> texts;
  ASSERT_EQ(cycled->ListByType("*.txt", texts), 1);
  bool found = false;
  for (const FoundRecord& record : texts) found |= std::string(record.name) == "tiny1.txt";
  EXPECT_TRUE(found);
}

TEST_F(NtfsQuickScanTest, SelectionAndTheCommandLineUseTheEngine) {
  SelectionResult selection = CreateImageEngine(volume().image, 3, false);
  ASSERT_NE(dynamic_cast<CFastNtfsRecovery*>(selection.engine.get()), nullptr);

  std::string listing;
  ASSERT_EQ(
      test::Run(test::Quote(test::SalvoraBinary()) + " scan --quick " + test::Quote(volume().image),
                &listing),
      0)
      << listing;
  for (const std::string& path : volume().deleted)
    EXPECT_NE(listing.find(volume().ListedPath(path)), std::string::npos) << path;

  std::string dest = out_ / "cli";
  test::MustRun(test::Quote(test::SalvoraBinary()) + " recover --quick --keep-paths --to " +
                test::Quote(dest) + " " + test::Quote(volume().image));
  for (const std::string& path : volume().deleted) {
    std::string copy = dest + "/" + volume().ListedPath(path);
    EXPECT_EQ(test::FileSha256(copy), test::FileSha256(volume().Original(path))) << path;
  }
}

}  // namespace
}  // namespace salvora
