// Collecting what scans found and recovering it: records keep the key of
// the source that found them, a further test thins them, every file ends
// written byte for byte or listed as failed, and a failing file never ends
// the recovery.
#include <gtest/gtest.h>

#include <filesystem>

#include "jobs/CollectJob.h"
#include "jobs/JobFixtures.h"
#include "jobs/RecoverJob.h"
#include "jobs/ScanJob.h"
#include "support/MisbehavingEngine.h"
#include "platform/ErrorCodes.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

std::string NameOf(const FoundRecord& record) {
  return std::string(record.name, RecordNameLength(record.name));
}

// A deleted file's name without its first letter, which deletion took.
std::string Tail(const std::string& name) { return name.empty() ? name : name.substr(1); }

class CollectRecoverJob : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat and mtools are needed";
    floppy = test::MakeFloppy(dir);
    items.resize(1);
    items[0].source.imagePath = floppy.image;
    test::RecordingObserver observer;
    ASSERT_EQ(RunScanJob(items, {}, observer).outcome, JobOutcome::kComplete);
  }

  test::TempDir dir;
  test::ScopedDataDir data;
  test::Floppy floppy;
  std::vector<ScanItem> items;
  const uint16_t key = 7;
};

TEST_F(CollectRecoverJob, CollectedFilesCarryTheSourceKeyTheirPathsAndPassTheTest) {
  CollectJobOptions options;
  options.typeFilter = KnownExtensions() + "|.other";
  options.withPaths = true;
  options.keep = [](const FoundRecord& record) { return record.fileSize > 2800; };
  Collection found;
  test::RecordingObserver observer;
  JobReport report = RunCollectJob({{nullptr, 1}, {items[0].engine.get(), key}}, options,
                                   observer, found);
  EXPECT_EQ(report.outcome, JobOutcome::kComplete);
  ASSERT_EQ(found.paths.size(), found.records.Size());
  std::map<std::string, std::string> pathOf;
  for (uint32_t i = 0; i < found.records.Size(); ++i) {
    FoundRecord record = found.records.Full(i);
    uint16_t tag = record.sourceTag;
    uint64_t size = record.fileSize;
    EXPECT_EQ(tag, key);
    EXPECT_GT(size, 2800u);
    pathOf[Tail(NameOf(record))] = found.paths[i];
  }
  EXPECT_EQ(report.itemsDone, found.records.Size());
  EXPECT_EQ(pathOf.count("one.bin"), 0u) << "too small for the test";
  ASSERT_EQ(pathOf.count("eport.doc"), 1u);
  EXPECT_EQ(pathOf["eport.doc"], "Docs/");
  ASSERT_EQ(pathOf.count("etter.txt"), 1u);
  EXPECT_EQ(pathOf["etter.txt"], "");
}

TEST_F(CollectRecoverJob, EveryFileIsRecoveredByteForByteIntoItsGroupFolder) {
  Collection found;
  test::RecordingObserver quiet;
  RunCollectJob({{items[0].engine.get(), key}}, {KnownExtensions() + "|.other", {}, false}, quiet,
                found);
  ASSERT_GE(found.records.Size(), floppy.files.size());
  test::TempDir out;
  test::RecordingObserver observer;
  JobReport report = RunRecoverJob(found.records, {{key, items[0].engine.get(), {}}},
                                   {out.path(), false}, observer);
  EXPECT_EQ(report.outcome, JobOutcome::kComplete);
  EXPECT_EQ(report.itemsDone, found.records.Size());
  EXPECT_EQ(observer.done.size(), found.records.Size());
  std::multiset<std::string> written, expected;
  for (const auto& [path, error] : observer.done) {
    EXPECT_EQ(error, kOk) << path;
    written.insert(test::ReadFile(path));
  }
  for (const auto& [name, bytes] : floppy.files) expected.insert(bytes);
  EXPECT_EQ(written, expected);
  size_t documents = 0;
  for (const auto& [path, error] : observer.done)
    documents += path.find("/document/") != std::string::npos;
  EXPECT_EQ(documents, 2u) << "the letter and the report go into the document folder";
}

FoundRecord Record(const char* name, uint16_t tag) {
  FoundRecord record{};
  SetRecordName(record.name, name);
  record.sourceTag = tag;
  return record;
}

TEST(RecoverJobFailures, EachFailingFileIsListedAndTheNextOneCopied) {
  test::TempDir out;
  test::MisbehavingEngine engine;
  std::vector<FoundRecord> records = {Record("throws.bin", 1), Record("silent.bin", 1),
                                      Record("lost.bin", 9), Record("fine.bin", 1)};
  test::RecordingObserver observer;
  JobReport report = RunRecoverJob(records, {{1, &engine, {}}}, {out.path(), false}, observer);
  EXPECT_EQ(report.outcome, JobOutcome::kPartial);
  EXPECT_EQ(report.itemsDone, 4u);
  ASSERT_EQ(report.failedItems.size(), 3u);
  EXPECT_EQ(report.failedItems[0].error, kInvalidParameter);
  EXPECT_EQ(report.failedItems[1].error, kReadFault);
  EXPECT_EQ(report.failedItems[2].error, kInvalidParameter) << "no engine has its source";
  EXPECT_EQ(observer.done.size(), 4u) << "every file is told, failed ones too";
  EXPECT_EQ(test::ReadFile(out / "others/fine.bin"), "ok");
}

TEST(RecoverJobFailures, ACancelStopsBeforeTheNextFile) {
  test::TempDir out;
  test::MisbehavingEngine engine;
  std::vector<FoundRecord> records = {Record("a.bin", 1), Record("b.bin", 1)};
  test::RecordingObserver observer(1);
  JobReport report = RunRecoverJob(records, {{1, &engine, {}}}, {out.path(), false}, observer);
  EXPECT_EQ(report.outcome, JobOutcome::kCancelled);
  EXPECT_FALSE(std::filesystem::exists(out / "others/b.bin"));
}

}  // namespace
}  // namespace salvora
