// The quick engine's choices on a hand-made volume: which records become
// files and folders, which name a record goes by, and where a file whose
// folder is gone is listed.
#include <gtest/gtest.h>

#include <map>

#include "NtfsBytes.h"
#include "ntfs/FastNtfsRecovery.h"
#include "platform/ErrorCodes.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::RecordBuilder;

constexpr size_t kSectors = 256;
constexpr size_t kMftSector = 16;

std::string HandMadeVolume() {
  std::string volume(kSectors * 512, '\0');
  volume.replace(3, 8, "NTFS    ");
  test::Put16(volume, 0x0B, 512);
  volume[0x0D] = 1;
  test::Put64(volume, 0x28, kSectors);
  test::Put64(volume, 0x30, kMftSector);
  volume[0x40] = static_cast<char>(0xF6);
  auto put = [&](uint32_t number, const std::string& record) {
    volume.replace((kMftSector + 2 * number) * 512, record.size(), record);
  };
  put(0, RecordBuilder(0, 1)
             .FileName(5, u"$MFT", 3)
             .NonResident(0x80, "\x11\x40\x10", 32768)
             .Finish());
  put(5, RecordBuilder(5, 3).FileName(5, u".", 3).Finish());
  put(3, RecordBuilder(3, 0).FileName(5, u"sys.txt", 1).Finish());
  put(20, RecordBuilder(20, 0)
              .FileName(5, u"LONGNA~1.TXT", 2)
              .FileName(5, u"long name.txt", 1)
              .Resident(0x80, "hello")
              .Finish());
  put(21, RecordBuilder(21, 0)
              .FileName(22, u"first.txt", 1)
              .FileName(22, u"FIRST~1.TXT", 2)
              .Resident(0x80, "one")
              .Finish());
  put(22, RecordBuilder(22, 2).FileName(5, u"olddir", 1).Finish());
  put(23, RecordBuilder(23, 0).FileName(25, u"orphan.dat", 1).Resident(0x80, "x").Finish());
  put(24, RecordBuilder(24, 2).FileName(5, u"emptydir", 1).Finish());
  return volume;
}

TEST(NtfsEngineTest, ChoosesRecordsNamesAndFolders) {
  test::ScopedDataDir data;
  test::TempDir dir;
  test::WriteFile(dir / "vol.img", HandMadeVolume());
  CFastNtfsRecovery engine;
  ASSERT_EQ(engine.OpenImage(dir / "vol.img", 1), kOk);
  ASSERT_EQ(engine.Scan(nullptr), kOk);

  std::map<std::string, FoundRecord> root, olddir, lost;
  auto list = [&](const FoundRecord* folder, std::map<std::string, FoundRecord>& out) {
    std::vector<FoundRecord> children;
    ASSERT_EQ(engine.ListFolder(folder, folder ? 1 : 0, children), kOk);
    for (const FoundRecord& child : children) out[child.name] = child;
  };
  list(nullptr, root);
  ASSERT_EQ(root.size(), 3u);
  ASSERT_TRUE(root.count("long name.txt"));  // the long name that follows a DOS alias
  ASSERT_TRUE(root.count("olddir"));         // a deleted folder of a file's chain
  ASSERT_TRUE(root.count("LostFolder25"));   // a parent that is no FILE record
  EXPECT_EQ(uint32_t{root["olddir"].isFolder}, 1u);
  list(&root["olddir"], olddir);
  ASSERT_EQ(olddir.size(), 1u);
  EXPECT_TRUE(olddir.count("first.txt"));  // a DOS alias after the long name is ignored
  list(&root["LostFolder25"], lost);
  EXPECT_TRUE(lost.count("orphan.dat"));

  uint32_t size = 16;
  std::vector<uint8_t> memory(size);
  std::string path;
  ASSERT_EQ(
      engine.ExtractForPreview(&root["long name.txt"], path, memory.data(), size, nullptr, nullptr),
      kOk);
  EXPECT_EQ(std::string(memory.begin(), memory.begin() + size), "hello");
}

}  // namespace
}  // namespace salvora
