// The result set's bookkeeping: records found elsewhere (the folder view)
// beside the collected ones, check counts by extension, and keys that are
// not among the results; and a folder's check box reaching both kinds.
#include <QtTest>

#include "app/FolderTreeModel.h"
#include "app/ResultSet.h"
#include "results/ScanHistory.h"
#include "support/StoredRecordsEngine.h"
#include "support/TestSupport.h"

using namespace salvora;

namespace {

FoundRecord Record(uint32_t recordNo, const char* name, uint64_t size) {
  FoundRecord record{};
  record.recordNo = recordNo;
  record.sourceTag = 1;
  record.fileSize = size;
  SetRecordName(record.name, name);
  return record;
}

RecordArena ArenaOf(const std::vector<FoundRecord>& records) {
  RecordArena arena;
  for (const FoundRecord& record : records) arena.Add(record);
  return arena;
}

}  // namespace

class ResultSetTest : public QObject {
  Q_OBJECT

 private slots:
  void checksAreCountedWhereverTheRecordLives() {
    ResultSet results;
    results.Reset(ArenaOf({Record(1, "a.JPG", 10), Record(2, "b.jpeg", 20), Record(3, "c.txt", 30)}),
                  {"x/", "", "x/"});
    QCOMPARE(results.Path(0), std::string("x/"));
    QCOMPARE(results.Path(1), std::string(""));
    QCOMPARE(results.Path(2), std::string("x/"));
    QCOMPARE(results.ByExtension().at("jpg").files, (std::vector<uint32_t>{0, 1}));
    QCOMPARE(results.Records().Name(1), std::string_view("b.jpeg"));
    QCOMPARE(results.IndexOfKey(ResultSet::KeyOf(Record(2, "", 0))), int64_t{1});
    FoundRecord outside = Record(9, "d.zip", 400);
    QCOMPARE(results.IndexOfKey(ResultSet::KeyOf(outside)), int64_t{-1});

    results.SetChecked(1, true);
    results.SetRecordChecked(Record(3, "c.txt", 30), true);  // found among the results
    results.SetRecordChecked(outside, true);
    results.SetRecordChecked(outside, true);  // twice is once
    QCOMPARE(results.CheckedCount(), uint64_t{3});
    QCOMPARE(results.CheckedBytes(), uint64_t{450});
    QCOMPARE(results.ByExtension().at("jpg").checked, uint64_t{1});
    QVERIFY(results.IsKeyChecked(ResultSet::KeyOf(outside)));
    results.SetRecordChecked(outside, false);  // and back: counted once again
    QVERIFY(!results.IsKeyChecked(ResultSet::KeyOf(outside)));
    QCOMPARE(results.CheckedBytes(), uint64_t{50});
    results.SetRecordChecked(outside, true);
    QCOMPARE(results.CheckedCount(), uint64_t{3});
    QCOMPARE(results.CheckedBytes(), uint64_t{450});
    std::vector<FoundRecord> checked = results.CheckedRecords();
    QCOMPARE(checked.size(), size_t{3});
    QCOMPARE(checked[0].recordNo, 2u);
    QCOMPARE(std::string(checked[2].name), std::string("d.zip"));

    results.UncheckAll();
    QCOMPARE(results.CheckedCount(), uint64_t{0});
    QCOMPARE(results.ByExtension().at("jpg").checked, uint64_t{0});
    QVERIFY(!results.IsKeyChecked(ResultSet::KeyOf(outside)));
  }

  // A folder's files are checked through their result index where they
  // are among the results, and as records of their own where not; results
  // collected anew while the folder is walked are not checked by indices
  // that meant the old ones.
  void checkingAFolderReachesFilesAmongAndBeyondTheResults() {
    test::ScopedDataDir data;
    ScanHistory::Instance().NewRunFolder();
    std::vector<FoundRecord> all, photos;
    for (uint32_t i = 0; i < 9000; ++i) {
      all.push_back(Record(i + 1, i % 2 ? "p.jpg" : "t.txt", 1));
      if (i % 2) photos.push_back(all.back());
    }
    DiskListItem item;
    item.key = 1;
    item.engine = std::make_unique<test::StoredRecordsEngine>(
        9000, [&](uint32_t i, FoundRecord& record) { record = all[i]; });
    ResultSet results;
    results.Reset(ArenaOf(photos), {});
    FolderTreeModel folders(results);
    folders.Reset({&item}, {QStringLiteral("Stored")});
    folders.setData(folders.index(0, 0), Qt::Checked, Qt::CheckStateRole);
    QTRY_VERIFY(!folders.Busy());
    QCOMPARE(results.CheckedCount(), uint64_t{9000});
    for (uint32_t i = 0; i < photos.size(); ++i) QVERIFY(results.IsChecked(i));
    QVERIFY(results.IsKeyChecked(ResultSet::KeyOf(all[0])));

    folders.setData(folders.index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
    QTRY_VERIFY(!folders.Busy());
    QCOMPARE(results.CheckedCount(), uint64_t{0});
    folders.setData(folders.index(0, 0), Qt::Checked, Qt::CheckStateRole);
    std::vector<FoundRecord> fewer(photos.begin(), photos.begin() + 100);
    results.Reset(ArenaOf(fewer), {});
    QTRY_VERIFY(!folders.Busy());
    for (uint32_t i = 0; i < fewer.size(); ++i) QVERIFY(!results.IsChecked(i));
    QCOMPARE(results.CheckedCount(), uint64_t{4500});
  }
};

QTEST_MAIN(ResultSetTest)
#include "ResultSetTest.moc"
