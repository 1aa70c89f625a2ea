// The result set's bookkeeping: records found elsewhere (the folder view)
// beside the collected ones, check counts by extension, and keys that are
// not among the results.
#include <QtTest>

#include "app/ResultSet.h"

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

}  // namespace

class ResultSetTest : public QObject {
  Q_OBJECT

 private slots:
  void checksAreCountedWhereverTheRecordLives() {
    ResultSet results;
    results.Reset({Record(1, "a.JPG", 10), Record(2, "b.jpeg", 20), Record(3, "c.txt", 30)}, {});
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
    std::vector<FoundRecord> checked = results.CheckedRecords();
    QCOMPARE(checked.size(), size_t{3});
    QCOMPARE(checked[0].recordNo, 2u);
    QCOMPARE(std::string(checked[2].name), std::string("d.zip"));

    results.UncheckAll();
    QCOMPARE(results.CheckedCount(), uint64_t{0});
    QCOMPARE(results.ByExtension().at("jpg").checked, uint64_t{0});
    QVERIFY(!results.IsKeyChecked(ResultSet::KeyOf(outside)));
  }
};

QTEST_MAIN(ResultSetTest)
#include "ResultSetTest.moc"
