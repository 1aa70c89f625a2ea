#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>

#include "platform/ErrorCodes.h"
#include "results/ScanResultStore.h"
#include "results/StoreName.h"
#include "results/TypeGroups.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

// Appends a record and files it under its parent, the way engines do.
uint32_t Add(ScanResultStore& store, const char* name, bool folder, uint32_t cluster,
             uint32_t parentCluster, uint32_t parentDepth, uint32_t contentOk = 1) {
  FoundRecord* record = store.AppendRecord();
  record->isFolder = folder;
  record->contentOk = contentOk;
  record->firstCluster = cluster;
  record->recordNo = store.GetRecordCount();
  SetRecordName(record->name, name);
  store.AddRelation(parentCluster, parentDepth, record->recordNo, cluster, folder ? name : nullptr);
  return record->recordNo;
}

std::vector<std::string> Names(const std::vector<FoundRecord>& records) {
  std::vector<std::string> names;
  for (const auto& r : records) names.emplace_back(r.name);
  return names;
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(store.OpenStore(dir.path() + "/run/1", "Fast_0_test"), kOk); }
  test::TempDir dir;
  ScanResultStore store;
};

TEST(StoreName, MinuteBelowTenGetsASpace) {
  LocalTimeParts when{2026, 12, 6, 13, 5, 0};
  EXPECT_EQ(FormatStoreName(kQuickStorePrefix, 2048, when), "Fast_2048_202612613 5");
  when.minute = 42;
  EXPECT_EQ(FormatStoreName(kCarvingStorePrefix, 0, when),
            "File_Type_0_2026126134"
            "2");
}

TEST_F(StoreTest, FoldersListSortedFilesFirstAndKeepBrokenImagesMarked) {
  uint32_t docs = Add(store, "Docs", true, 10, 2, 0);
  Add(store, "b.TXT", false, 11, 2, 0);
  Add(store, "A.txt", false, 12, 2, 0);
  Add(store, "broken.JPG", false, 13, 2, 0, /*contentOk=*/0);
  Add(store, "inner.doc", false, 14, 10, 1);
  ASSERT_EQ(store.Flush(), kOk);

  std::vector<FoundRecord> root;
  ASSERT_EQ(store.ListChildren(FolderKey(2, 0), root), kOk);
  EXPECT_EQ(Names(root), (std::vector<std::string>{"A.txt", "b.TXT", "broken.JPG", "Docs"}));
  EXPECT_EQ(+root[2].contentOk, 0u) << "listed, and marked as not matching its type";
  std::vector<FoundRecord> smallest;
  ASSERT_EQ(store.ListChildren(0, smallest), kOk);
  EXPECT_EQ(Names(smallest), Names(root)) << "key 0 lists the smallest key";
  std::vector<FoundRecord> none;
  ASSERT_EQ(store.ListChildren(FolderKey(99, 3), none), kOk);
  EXPECT_TRUE(none.empty());

  uint32_t count = 0;
  ASSERT_EQ(store.CountFiles(FolderKey(2, 0), count), kOk);
  EXPECT_EQ(count, 4u);

  FoundRecord inner;
  ASSERT_EQ(store.ReadRecord(5, inner), kOk);
  std::string path;
  store.RecordPath(inner, path);
  EXPECT_EQ(path, "Docs/");
  uint32_t depth = 0;
  FoundRecord folder;
  ASSERT_EQ(store.ReadRecord(docs, folder), kOk);
  ASSERT_TRUE(store.FolderDepthOf(folder, depth));
  EXPECT_EQ(depth, 1u);
}

TEST_F(StoreTest, TypeListingFollowsTheSubstringRules) {
  Add(store, "photo.JPG", false, 3, 2, 0);
  Add(store, "bad.png", false, 4, 2, 0, 0);
  Add(store, "noext", false, 5, 2, 0);
  Add(store, "data.xyz", false, 6, 2, 0);
  Add(store, "letter.doc", false, 7, 2, 0);
  Add(store, "Folder.jpg", true, 8, 2, 0);
  std::vector<FoundRecord> jpg, other;
  EXPECT_EQ(store.ListByTypes("*.jpg", jpg), 1);
  EXPECT_EQ(Names(jpg), (std::vector<std::string>{"photo.JPG"}));
  std::vector<FoundRecord> png;
  EXPECT_EQ(store.ListByTypes("*.png", png), 1);
  EXPECT_EQ(Names(png), (std::vector<std::string>{"bad.png"})) << "a broken picture is listed";
  EXPECT_EQ(store.ListByTypes(".other", other), 1);
  EXPECT_EQ(Names(other), (std::vector<std::string>{"data.xyz", "noext"}));
}

// Listings answer each extension once; whatever the case, the dots and the
// filter, the answer is the one the name alone would get.
TEST(TypeFilter, RememberedAnswersAreThoseOfEachName) {
  const char* names[] = {"a.jpg", "B.JPG", "c.Jpg", "noext", "d.",     ".hidden", "e.tar.gz",
                         "f.gz",  "g.xyz", "h.XYZ", "i.doc", "j.docx", "k.jpeg",  "l.jp"};
  for (const char* filter : {"*.jpg", "*.jpg|*.gz", ".other", "*.doc|.other", ""}) {
    bool otherInForce = std::string(filter).find(".other") != std::string::npos;
    NameFilter remembered(filter, otherInForce);
    for (int pass = 0; pass < 2; ++pass)
      for (const char* name : names)
        EXPECT_EQ(remembered.Takes(name), FilterTakesName(filter, otherInForce, name))
            << filter << " " << name;
  }
}

// Sorting moves each record once; the order, ties between names that differ
// only in case included, is the one sorting the records themselves gives.
TEST(RecordSort, SameOrderAsSortingTheRecords) {
  std::vector<FoundRecord> records(300);
  // Long names that share their first sixteen letters or end there, and
  // bytes on both sides of the capitals.
  const char* names[] = {"a.txt",
                         "A.TXT",
                         "b",
                         "B",
                         "a.txt",
                         "zz",
                         "Docs",
                         "docs",
                         "IMG_0001_long_name_a.jpg",
                         "img_0001_long_name_B.jpg",
                         "IMG_0001_long_na",
                         "IMG_0001_long_nam",
                         "\xc3\x9c" "ber_sixteen_letters",
                         "[bracket]",
                         "_under"};
  const size_t kinds = sizeof names / sizeof names[0];
  for (uint32_t i = 0; i < records.size(); ++i) {
    records[i].recordNo = i;
    records[i].isFolder = (i * 7) % 5 == 0;
    SetRecordName(records[i].name, names[(i * 13) % kinds]);
  }
  std::vector<FoundRecord> expected = records;
  std::sort(expected.begin(), expected.end(), RecordOrder);
  SortRecords(records);
  ASSERT_EQ(records.size(), expected.size());
  for (size_t i = 0; i < records.size(); ++i) {
    uint32_t got = records[i].recordNo, wanted = expected[i].recordNo;  // packed fields
    EXPECT_EQ(got, wanted) << i;
  }
}

TEST_F(StoreTest, ReopenedStoreListsOldRecordsAndNumbersNewOnesAfterThem) {
  for (int i = 0; i < 450; ++i)
    Add(store, ("f" + std::to_string(i) + ".txt").c_str(), false, 100 + i, 2, 0);
  store.CloseStore();
  ASSERT_EQ(store.OpenStore(dir.path() + "/run/1", "Fast_0_test"), kOk);
  EXPECT_EQ(store.GetRecordCount(), 450u);
  // A resumed scan appends: the new record must not take an old number.
  Add(store, "late.txt", false, 999, 2, 0);
  store.Flush();
  std::vector<FoundRecord> all;
  ASSERT_EQ(store.ListChildren(0, all), kOk);
  ASSERT_EQ(all.size(), 451u);
  FoundRecord late;
  ASSERT_EQ(store.ReadRecord(451, late), kOk);
  EXPECT_STREQ(late.name, "late.txt");
}

// Folders that claim each other as parents in a ring, short or long: a
// damaged store. The walk ends, and no folder comes twice.
TEST(StoreCycles, AncestorWalkEndsOnACycle) {
  for (uint32_t ring : {2u, 40u}) {
    test::TempDir dir;
    ScanResultStore store;
    ASSERT_EQ(store.OpenStore(dir.path() + "/run/1", "Fast_0_test"), kOk);
    for (uint32_t i = 0; i < ring; ++i) {
      FoundRecord* folder = store.AppendRecord();
      folder->isFolder = 1;
      folder->firstCluster = 100 + i;
      folder->recordNo = i + 1;
      std::string name = "F" + std::to_string(i);
      SetRecordName(folder->name, name.c_str());
      store.AddRelation(100 + (i + 1) % ring, 1, i + 1, 100 + i, name.c_str());
    }
    ASSERT_EQ(store.Flush(), kOk);
    FoundRecord record;
    ASSERT_EQ(store.ReadRecord(1, record), kOk);
    std::vector<FoundRecord> ancestors;
    store.CollectAncestors(record, ancestors);
    EXPECT_EQ(ancestors.size(), ring - 1) << ring;
    std::set<uint32_t> distinct;
    for (const FoundRecord& folder : ancestors) {
      uint32_t number = folder.recordNo;  // a packed field
      distinct.insert(number);
    }
    EXPECT_EQ(distinct.size(), ancestors.size()) << ring;
    EXPECT_EQ(distinct.count(1), 0u) << "the walk came back to where it started";
  }
}

TEST_F(StoreTest, DamagedFilesNeverCrash) {
  Add(store, "x.txt", false, 5, 2, 0);
  store.CloseStore();
  std::string base = dir.path() + "/run/1/Fast_0_test";
  // A torn record, relation garbage pointing past the data, a name without
  // its terminator.
  std::string data = test::ReadFile(base);
  std::memset(data.data() + 86, 'N', 260);
  data += std::string(100, '\x7f');
  test::WriteFile(base, data);
  test::WriteFile(base + "_Relation", " | 8589934594 - [1,999999,0,,x] | 77 - [3");
  test::WriteFile(base + "_DirInfo", std::string(300, 'Q'));
  ASSERT_EQ(store.OpenStore(dir.path() + "/run/1", "Fast_0_test"), kOk);
  std::vector<FoundRecord> children;
  EXPECT_EQ(store.ListChildren(0, children), kOk);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_EQ(std::strlen(children[0].name), 259u);
  uint32_t count = 0;
  EXPECT_EQ(store.CountFiles(0, count), kOk);
  std::string path;
  store.RecordPath(children[0], path);
  std::vector<FoundRecord> typed;
  EXPECT_EQ(store.ListByTypes(".other|*.txt", typed), 1);
}

// Visits hand over what the listings list, each record once and in the
// order filed or stored, across the 200-record chunks the data file is read
// in; the type listing writes what is pending first.
TEST_F(StoreTest, VisitsGiveWhatListingsGiveEachOnceInStoredOrder) {
  std::vector<uint32_t> filed, typed;
  for (int i = 0; i < 650; ++i) {
    if (i == 500) {
      ASSERT_EQ(store.Flush(), kOk);
    }
    bool text = i % 3 != 0;
    std::string name = "f" + std::to_string((i * 37) % 650) + (text ? ".txt" : ".jpg");
    uint32_t number = Add(store, name.c_str(), false, 100 + i, i % 5 ? 2 : 7, i % 5 ? 0 : 1);
    if (i % 5) filed.push_back(number);
    if (text) typed.push_back(number);
  }
  auto numbersOf = [](const std::vector<FoundRecord>& records) {
    std::vector<uint32_t> numbers;
    for (const FoundRecord& record : records) numbers.push_back(uint32_t{record.recordNo});
    return numbers;
  };
  std::vector<uint32_t> visited;
  auto note = [&](const FoundRecord& record) { visited.push_back(uint32_t{record.recordNo}); };

  EXPECT_EQ(store.VisitByTypes("*.txt", note), 1);
  EXPECT_EQ(visited, typed);
  std::vector<FoundRecord> listed;
  EXPECT_EQ(store.ListByTypes("*.txt", listed), 1);
  std::vector<uint32_t> sorted = numbersOf(listed);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, typed);

  visited.clear();
  listed.clear();
  ASSERT_EQ(store.VisitChildren(FolderKey(2, 0), note), kOk);
  EXPECT_EQ(visited, filed);
  ASSERT_EQ(store.ListChildren(FolderKey(2, 0), listed), kOk);
  sorted = numbersOf(listed);
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, filed);
}

TEST_F(StoreTest, ListCallbackCanStopTheListing) {
  for (int i = 0; i < 1000; ++i) Add(store, "f.txt", false, 3, 2, 0);
  int calls = 0;
  store.SetListCallback(
      [](void* user, int32_t, int32_t) { return ++*static_cast<int*>(user) == 2 ? -9527 : 0; },
      &calls);
  std::vector<FoundRecord> out;
  EXPECT_EQ(store.ListByTypes("*.txt", out), 1);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(out.size(), 400u);
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

// Records past 2 GiB of data file are read at 64-bit offsets.
TEST(StoreLarge, RecordsBeyondTwoGibibytesAreReadBack) {
  test::TempDir dir;
  std::string base = dir.path() + "/big";
  const uint64_t recordNo = 7000000;  // starts past 2^31 bytes
  FoundRecord record{};
  record.recordNo = static_cast<uint32_t>(recordNo);
  record.firstCluster = 77;
  SetRecordName(record.name, "far.txt");
  test::MustRun("truncate -s " + std::to_string((recordNo - 1) * sizeof(FoundRecord)) + " " +
                test::Quote(base));
  {
    std::ofstream out(base, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(&record), sizeof record);
  }
  ScanResultStore store;
  ASSERT_EQ(store.OpenStore(dir.path(), "big"), kOk);
  FoundRecord back;
  ASSERT_EQ(store.ReadRecord(static_cast<uint32_t>(recordNo), back), kOk);
  EXPECT_STREQ(back.name, "far.txt");
  EXPECT_EQ(uint32_t{back.firstCluster}, 77u);
}

}  // namespace
}  // namespace salvora

namespace salvora {
namespace {

// Listings flush and look up folders over and over; what they learn must
// not hide a folder or a relation added afterwards.
TEST_F(StoreTest, LookupsAfterLaterAdditionsSeeThem) {
  uint32_t file = Add(store, "f.txt", false, 20, 10, 1);
  ASSERT_EQ(store.Flush(), kOk);
  FoundRecord record;
  ASSERT_EQ(store.ReadRecord(file, record), kOk);
  std::string path;
  store.RecordPath(record, path);
  EXPECT_EQ(path, "");

  // A folder record filed without a folder-list entry, found only in the
  // data file.
  FoundRecord* folder = store.AppendRecord();
  folder->isFolder = 1;
  folder->firstCluster = 10;
  folder->recordNo = store.GetRecordCount();
  SetRecordName(folder->name, "Docs");
  store.AddRelation(2, 0, folder->recordNo, 10, nullptr);
  ASSERT_EQ(store.Flush(), kOk);
  store.RecordPath(record, path);
  EXPECT_EQ(path, "Docs/");

  std::string relation = test::ReadFile(dir.path() + "/run/1/Fast_0_test_Relation");
  EXPECT_NE(relation.find(" | 2 - ["), std::string::npos) << relation;
}

}  // namespace
}  // namespace salvora
