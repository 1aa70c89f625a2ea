#include "results/ScanHistory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"

namespace salvora {
namespace {

ScanHistoryEntry VolumeEntry(uint32_t disk, uint64_t freeBytes, const std::string& folder) {
  ScanHistoryEntry entry {};
  entry.key1 = disk;
  entry.key2 = 2048;
  entry.key4 = 100000;
  entry.freeBytes = freeBytes;
  SetEntryText(entry.resultFolder, folder);
  SetPosition(entry, {10, 20, 5, 1234, 7});
  return entry;
}

TEST(ScanHistory, SavedEntriesResumeAndStaleOnesAreDropped) {
  test::ScopedDataDir data;
  ScanHistory& history = ScanHistory::Instance();
  std::string folder = history.NewRunFolder();
  std::filesystem::create_directories(folder);
  ASSERT_EQ(history.AddOrUpdate(VolumeEntry(3, 5000, folder)), 0);

  history.Load();
  const uint32_t keys[5] = {3, 2048, 0, 100000, 0};
  ScanHistoryEntry found;
  ASSERT_TRUE(history.FindVolume(keys, 5000, found));
  EXPECT_EQ(PositionOf(found).sectorsDone, 1234u);
  EXPECT_EQ(history.CurrentRunFolder(), folder);

  // The volume changed: the entry and its folder go.
  history.Load();
  EXPECT_FALSE(history.FindVolume(keys, 4096, found));
  EXPECT_FALSE(std::filesystem::exists(folder));
  history.Load();
  EXPECT_TRUE(history.Entries().empty());
}

TEST(ScanHistory, QuickScanFoldersGoWhenTheProcessEndsSavedOnesStay) {
  test::ScopedDataDir data;
  ScanHistory& history = ScanHistory::Instance();
  std::string quick = history.NewRunFolder(), saved = history.NewRunFolder();
  for (const std::string& folder : {quick, saved}) std::filesystem::create_directories(folder);
  history.RemoveAtExit(quick);
  history.RemoveTemporaryRunFolders();
  EXPECT_FALSE(std::filesystem::exists(quick));
  EXPECT_TRUE(std::filesystem::exists(saved));
}

TEST(ScanHistory, AnInterruptedSaveIsReadFromTheTemporaryFile) {
  test::ScopedDataDir data;
  ScanHistory& history = ScanHistory::Instance();
  std::string folder = history.NewRunFolder();
  std::filesystem::create_directories(folder);
  ASSERT_EQ(history.AddOrUpdate(VolumeEntry(1, 1, folder)), 0);
  std::filesystem::rename(data.path() + "/config", data.path() + "/config.tmp");
  history.Load();
  EXPECT_EQ(history.Entries().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(data.path() + "/config"));
  EXPECT_EQ(history.RunCounter(), 1u);
}

TEST(ScanHistory, HostileIndexFilesAreSurvived) {
  test::ScopedDataDir data;
  test::WriteFile(data.path() + "/config", test::PseudoRandomBytes(8 + 1120 * 3 + 17, 4));
  ScanHistory& history = ScanHistory::Instance();
  history.Load();
  EXPECT_TRUE(history.Entries().empty()) << "entries whose folders do not exist are dropped";
  test::WriteFile(data.path() + "/config", "abc");
  history.Load();
  EXPECT_EQ(history.RunCounter(), 0u);
}

TEST(ScanHistory, TextFieldsRoundTripAndRejectOverlongPaths) {
  ScanHistoryEntry entry {};
  ASSERT_TRUE(SetEntryText(entry.imagePath, "/tmp/\xC3\xA9t\xC3\xA9/\xF0\x9F\x98\x80.img"));
  EXPECT_EQ(EntryImagePath(entry), "/tmp/\xC3\xA9t\xC3\xA9/\xF0\x9F\x98\x80.img");
  EXPECT_FALSE(SetEntryText(entry.imagePath, std::string(300, 'a')));
}

}  // namespace
}  // namespace salvora
