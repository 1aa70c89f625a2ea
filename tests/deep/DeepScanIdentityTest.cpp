// The deep scan reads ahead on a thread and lets carving and the walk share
// what it read; it must still find exactly what the plain walk finds: one
// 64 KiB chunk read after another, each sector classified with its own
// tests and every carved file measured straight from the disk. Both run on
// randomized images, and their stores must agree byte for byte: the same
// records, names and sizes, in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "deep/CompositeClassifier.h"
#include "deep/CompositeFixture.h"
#include "deep/CompositeHistory.h"
#include "deep/CompositeRanges.h"
#include "deep/FileSystemMetadata.h"
#include "platform/ErrorCodes.h"
#include "results/FoundRecord.h"
#include "results/StoreName.h"
#include "storage/EngineSelection.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

constexpr uint32_t kChunkSectors = 128;
constexpr uint16_t kTag = 9;

// The sector-by-sector walk, engine by engine, as the deep scan made it
// before it read ahead.
class PlainWalk final : public SectorOwners {
 public:
  explicit PlainWalk(const std::string& image) {
    source_.OpenImage(image);
    fat_.OpenImage(image, kTag);
    ntfs_.OpenImage(image, kTag);
    exfat_.OpenImage(image, kTag);
    carving_.OpenImage(image, kTag);
    carving_.Context().endsCarvedFile = IsFileSystemMetadataSector;
    fat_.OpenResults(nullptr);
    ntfs_.OpenResults(nullptr);
    exfat_.OpenResults(nullptr);
    fat_.RegisterBootVolume();
    exfat_.RegisterBootVolume();
    quick_ = CreateImageEngine(image, kTag, false).engine;
  }

  void Run() {
    bool freeMap = quick_ && HasUsableFreeMap(*quick_);
    if (quick_) quick_->Scan(nullptr);
    WalkRanges ranges(freeMap ? quick_.get() : nullptr, source_.SectorCount());
    total_ = ranges.Total();
    std::vector<uint8_t> chunk(kChunkSectors * kSector);
    WalkRange range;
    uint64_t carveFrom = 0;
    for (bool more = ranges.Next(0, range); more; more = ranges.Next(range.End(), range)) {
      for (uint64_t offset = 0; offset < range.length; offset += kChunkSectors) {
        uint32_t n =
            static_cast<uint32_t>(std::min<uint64_t>(kChunkSectors, range.length - offset));
        uint32_t read = 0;
        source_.ReadSectors(static_cast<int32_t>(n), chunk.data(), range.start + offset, kSector,
                            read);
        bool cancelled = false;
        if (read > 0)
          ClassifyChunk(chunk.data(), read, kSector, range.start + offset, *this, carveFrom,
                        cancelled);
        done_ += n;
      }
    }
    fat_.FinishFolders();
    ntfs_.EmitPendingFolders();
    exfat_.FinishFolders();
    fat_.Store().Flush();
    ntfs_.Store().Flush();
    exfat_.Store().Flush();
    carving_.Store().Flush();
  }

  void OnFileRecord(const uint8_t* record, size_t length, uint64_t sector) override {
    ntfs_.ProcessFileRecord(record, length, sector, 0, 0);
  }
  void OnDirectoryStart(const uint8_t* data, uint64_t sector) override {
    fat_.ProcessDirectoryStart(data, sector);
  }
  void OnDirectoryEntries(const uint8_t* data, uint64_t sector) override {
    fat_.ProcessDirectoryEntries(data, sector);
  }
  void OnExfatDirectoryEntries(const uint8_t* data, uint64_t sector) override {
    exfat_.ProcessDirectoryEntries(data, sector);
  }
  int Carve(const uint8_t* data, uint64_t sector, uint64_t& advance) override {
    uint64_t found = 0;
    return carving_.CarveAtSector(kSector, data, kSector, sector, done_, total_, -1, source_,
                                  advance, found);
  }
  size_t ReadRecordAt(uint64_t sector, uint8_t* buffer) override {
    uint64_t left = source_.SectorCount() > sector ? source_.SectorCount() - sector : 0;
    uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kRecordReadBytes / kSector, left));
    uint32_t read = 0;
    if (count > 0) source_.ReadSectors(static_cast<int32_t>(count), buffer, sector, kSector, read);
    return size_t{read} * kSector;
  }

 private:
  SectorSource source_;
  CProfessionalFatRecovery fat_;
  CProfessionalNtfsRecovery ntfs_;
  CProfessionalExfatRecovery exfat_;
  CFileTypeRecovery carving_;
  std::unique_ptr<IFileRecoveryParse> quick_;
  uint64_t done_ = 0, total_ = 0;
};

// The stores of the deep engines in a run folder, as bytes.
std::vector<std::string> StoresIn(const std::string& folder) {
  std::vector<std::string> stores;
  for (const char* prefix :
       {kCarvingStorePrefix, kDeepFatStorePrefix, kDeepNtfsStorePrefix, kDeepExfatStorePrefix}) {
    std::string name = FindStoreName(folder, prefix);
    EXPECT_FALSE(name.empty()) << prefix;
    for (const char* part : {"", "_Relation", "_DirInfo"})
      stores.push_back(ReadFile(folder + "/" + name + part));
  }
  return stores;
}

class DeepScanIdentity : public ::testing::Test {
 protected:
  // Deep-scans the image both ways; the stores must agree.
  void ExpectSameAsPlainWalk(const std::string& bytes, size_t* carved = nullptr) {
    std::string image = work_ / "image.img";
    WriteFile(image, bytes);
    auto deep = OpenDeep(image);
    ASSERT_NE(deep, nullptr);
    ASSERT_EQ(RunDeepScan(*deep), kOk);
    std::vector<std::string> scanned = StoresIn(ScanHistory::Instance().CurrentRunFolder());
    ScanHistory::Instance().NewRunFolder();
    PlainWalk walk(image);
    walk.Run();
    std::vector<std::string> walked = StoresIn(ScanHistory::Instance().CurrentRunFolder());
    const char* names[] = {"carved", "carved relations", "carved folders",
                           "FAT",    "FAT relations",    "FAT folders",
                           "NTFS",   "NTFS relations",   "NTFS folders",
                           "exFAT",  "exFAT relations",  "exFAT folders"};
    for (size_t i = 0; i < scanned.size(); ++i)
      EXPECT_TRUE(scanned[i] == walked[i]) << names[i] << ": " << scanned[i].size() << " bytes, "
                                           << walked[i].size() << " in the plain walk";
    if (carved) *carved = scanned[0].size() / sizeof(FoundRecord);
  }

  ScopedDataDir data_;
  TempDir work_;
};

// A sector of FAT directory entries: a long name and its short entry, and
// a deleted file.
std::string DirectorySector(uint64_t seed) {
  std::string s(kSector, '\0');
  auto entry = [&](size_t at, const std::string& name, uint8_t attributes, uint32_t size) {
    std::memcpy(&s[at], name.data(), 11);
    s[at + 11] = static_cast<char>(attributes);
    for (size_t time : {14, 22}) {  // created and written 2021-01-01 11:17:00
      s[at + time] = 0x20, s[at + time + 1] = 0x5A;
      s[at + time + 2] = 0x21, s[at + time + 3] = 0x52;
    }
    s[at + 26] = static_cast<char>(3 + seed % 50);
    std::memcpy(&s[at + 28], &size, 4);
  };
  entry(0, "PHOTO   JPG", 0x20, 30000 + static_cast<uint32_t>(seed));
  entry(32,
        "\xE5"
        "OTES   TXT",
        0x20, 1200);
  entry(64, "DOCS       ", 0x10, 0);
  return s;
}

// "." and ".." opening a folder's first cluster, then its files.
std::string FolderStart(uint64_t seed) {
  std::string s = DirectorySector(seed);
  for (size_t at : {0, 32}) {
    std::memcpy(&s[at], at ? "..         " : ".          ", 11);
    s[at + 11] = 0x10;
    std::memset(&s[at + 28], 0, 4);
  }
  return s;
}

// Two sectors that pass as a FILE record's header.
std::string FileRecordHeader(uint64_t seed) {
  std::string s = PseudoRandomBytes(2 * kSector, seed);
  std::memcpy(&s[0], "FILE", 4);
  s[22] = static_cast<char>(seed % 2);               // in use, not a directory
  s[24] = 0x00, s[25] = 0x02, s[26] = 0, s[27] = 0;  // 512 bytes in use
  s[28] = 0x00, s[29] = 0x04, s[30] = 0, s[31] = 0;  // 1024 allocated
  s[510] = s[48], s[511] = s[49];
  return s;
}

// Noise and zeros with pictures, directories, records and boot sectors in
// between, some at the end of a 64 KiB chunk so that they cross it.
std::string RandomizedImage(uint64_t seed, size_t pieces) {
  ImageBuilder image;
  uint64_t state = seed;
  auto next = [&state] { return state = state * 6364136223846793005u + 1442695040888963407u; };
  for (size_t i = 0; i < pieces; ++i) {
    switch (next() >> 61) {
      case 0:
        image.Place(DecodableJpegOf(2000 + next() % 90000));
        break;
      case 1:
        image.Place(PngOf(1000 + next() % 60000));
        break;
      case 2:
        image.Place(DirectorySector(next()));
        break;
      case 3:
        image.Place(FolderStart(next()));
        break;
      case 4:
        image.RandomSectors((kChunkSectors - 1) - image.NextSector() % kChunkSectors, next());
        image.Place(FileRecordHeader(next()));
        break;
      case 5:
        image.Place(Padded(Bytes({0xEB, 0x52, 0x90}) + "NTFS    "));
        break;
      default:
        break;
    }
    if (next() % 2)
      image.RandomSectors(next() % 300, next());
    else
      image.ZeroSectors(next() % 300);
  }
  return image.bytes();
}

TEST_F(DeepScanIdentity, RandomizedImagesGiveWhatThePlainWalkGives) {
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    size_t carved = 0;
    ExpectSameAsPlainWalk(RandomizedImage(seed, 60), &carved);
    EXPECT_GT(carved, 5u);
  }
}

// A file measured by reading on far beyond everything the ring can hold, and
// files after it in what the ring then holds.
TEST_F(DeepScanIdentity, AFileMeasuredPastTheRingGivesWhatThePlainWalkGives) {
  ImageBuilder image;
  image.RandomSectors(50, 7);
  image.Place(Padded("8BPS" + std::string(36, '\1')));  // read on until another file starts
  image.ZeroSectors(40 << 11);                          // 40 MiB
  image.Place(DecodableJpegOf(5000));
  image.Append(RandomizedImage(9, 20));
  size_t carved = 0;
  ExpectSameAsPlainWalk(image.bytes(), &carved);
  EXPECT_GE(carved, 2u);
}

// A real FAT volume with live and deleted files and a deleted folder: the
// quick engine's free ranges are walked, in many short pieces.
TEST_F(DeepScanIdentity, AFatVolumeWalkedByItsFreeRangesGivesWhatThePlainWalkGives) {
  if (!HaveCommand("mkfs.fat") || !HaveCommand("mcopy")) GTEST_SKIP() << "needs dosfstools, mtools";
  std::string volume = work_ / "fat.img";
  MustRun("truncate -s 8M " + Quote(volume) + " && mkfs.fat " + Quote(volume) + " >/dev/null");
  MustRun("mmd -i " + Quote(volume) + " ::/OLD");
  for (int i = 0; i < 12; ++i) {
    std::string file = work_ / ("f" + std::to_string(i));
    WriteFile(file, i % 3 ? PseudoRandomBytes(3000 * i + 100, i) : DecodableJpegOf(4000 + 1000 * i));
    std::string name =
        (i < 6 ? "::/OLD/F" : "::/F") + std::to_string(i) + (i % 3 ? ".BIN" : ".JPG");
    MustRun("mcopy -i " + Quote(volume) + " " + Quote(file) + " " + name);
    if (i % 4 == 3) MustRun("mdel -i " + Quote(volume) + " " + name);
  }
  MustRun("mdeltree -i " + Quote(volume) + " ::/OLD");
  ExpectSameAsPlainWalk(ReadFile(volume));
}

}  // namespace
}  // namespace salvora::test
