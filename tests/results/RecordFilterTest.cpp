#include "results/RecordFilter.h"

#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace salvora {
namespace {

FoundRecord Record(const char* name, uint64_t size = 100, uint64_t writeTime = 0) {
  FoundRecord record{};
  SetRecordName(record.name, name);
  record.fileSize = size;
  record.writeTime = writeTime;
  record.isDeleted = 1;
  record.contentOk = 1;
  record.engineKind = kQuickFat;
  return record;
}

TEST(NamePattern, PieceOrWholeNameIgnoringCase) {
  EXPECT_TRUE(NamePattern("").Matches("anything"));
  EXPECT_TRUE(NamePattern("holi").Matches("My HOLIDAY.jpg"));
  EXPECT_FALSE(NamePattern("holi").Matches("hol.jpg"));
  // With a wildcard the pattern covers the whole name.
  EXPECT_TRUE(NamePattern("*.DOCX").Matches("report.docx"));
  EXPECT_FALSE(NamePattern("*.docx").Matches("report.docx.bak"));
  EXPECT_FALSE(NamePattern("*.doc").Matches("report.docx"));
  EXPECT_TRUE(NamePattern("img_00??.jpg").Matches("IMG_0042.JPG"));
  EXPECT_FALSE(NamePattern("img_00??.jpg").Matches("IMG_042.JPG"));
  EXPECT_TRUE(NamePattern("a*b*c").Matches("aXXbYYbZZc"));
  EXPECT_FALSE(NamePattern("a*b*c").Matches("aXXbYYbZZ"));
  EXPECT_TRUE(NamePattern("**").Matches(""));
}

TEST(NamePattern, Utf8LettersFoldAndOneQuestionMarkIsOneCharacter) {
  EXPECT_TRUE(NamePattern("ÄRGER").Matches("ärger.txt"));
  EXPECT_TRUE(NamePattern("ПРИВЕТ").Matches("привет.doc"));
  EXPECT_TRUE(NamePattern("ŁÓDŹ*").Matches("łódź 2024.png"));
  EXPECT_TRUE(NamePattern("?rger.txt").Matches("Ärger.txt"));
  EXPECT_FALSE(NamePattern("??rger.txt").Matches("Ärger.txt"));
  // A damaged name still matches by what can be read of it.
  EXPECT_TRUE(NamePattern("*.jpg").Matches("\xff\xfe_x.jpg"));
  EXPECT_TRUE(NamePattern("?_x.jpg").Matches("\xc3_x.jpg"));
}

TEST(NamePattern, ManyStarsOnALongNameStayQuick) {
  std::string name(259, 'a');
  // Backtracking on every star would take ages here; this returns at once.
  EXPECT_FALSE(NamePattern("*a*a*a*a*a*a*a*a*a*a*a*b").Matches(name));
}

TEST(RecordFilter, StatesComeFromTheRecord) {
  FoundRecord deleted = Record("a.jpg");
  FoundRecord live = Record("b.jpg");
  live.isDeleted = 0;
  FoundRecord carved = Record("c.jpg");
  carved.engineKind = kCarved;
  carved.contentOk = 0;
  FoundRecord folder = Record("dir");
  folder.isFolder = 1;
  folder.contentOk = 0;
  EXPECT_EQ(StatesOf(deleted), kStateDeleted);
  EXPECT_EQ(StatesOf(live), kStateLive);
  EXPECT_EQ(StatesOf(carved), kStateCarved | kStateDamaged);
  EXPECT_EQ(StatesOf(folder), kStateDeleted);

  RecordCriteria criteria;
  criteria.states = kStateLive | kStateDamaged;
  RecordFilter filter(criteria);
  EXPECT_FALSE(filter.Takes(deleted));
  EXPECT_TRUE(filter.Takes(live));
  EXPECT_TRUE(filter.Takes(carved));
}

TEST(RecordFilter, AllCriteriaMustHold) {
  uint64_t dec1 = FileTimeFromCalendar(2026, 12, 1, 0, 0, 0);
  uint64_t dec8 = FileTimeFromCalendar(2026, 12, 8, 0, 0, 0);
  RecordCriteria criteria;
  criteria.name = "*.docx";
  criteria.minSize = 1000;
  criteria.maxSize = 5000;
  criteria.modifiedFrom = dec1;
  criteria.modifiedBefore = dec8;
  RecordFilter filter(criteria);
  EXPECT_FALSE(filter.TakesAll());
  uint64_t dec3 = FileTimeFromCalendar(2026, 12, 3, 12, 0, 0);
  EXPECT_TRUE(filter.Takes(Record("a.docx", 1000, dec1)));
  EXPECT_TRUE(filter.Takes(Record("a.docx", 5000, dec3)));
  EXPECT_FALSE(filter.Takes(Record("a.docx", 999, dec3)));
  EXPECT_FALSE(filter.Takes(Record("a.docx", 5001, dec3)));
  EXPECT_FALSE(filter.Takes(Record("a.docx", 2000, dec1 - 1)));
  EXPECT_FALSE(filter.Takes(Record("a.docx", 2000, dec8)));
  EXPECT_FALSE(filter.Takes(Record("a.xlsx", 2000, dec3)));
  EXPECT_TRUE(RecordFilter().Takes(Record("x")));
}

TEST(RecordFilter, TypeGroupsAndFolders) {
  RecordCriteria photos;
  photos.typeList = GroupListByName("photo");
  RecordFilter filter(photos);
  EXPECT_TRUE(filter.Takes(Record("a.JPG")));
  EXPECT_FALSE(filter.Takes(Record("a.mp3")));
  FoundRecord folder = Record("Pictures.jpg");
  folder.isFolder = 1;
  EXPECT_FALSE(filter.Takes(folder));

  RecordCriteria others;
  others.typeList = GroupListByName("other");
  RecordFilter other(others);
  EXPECT_TRUE(other.Takes(Record("a.xyz")));
  EXPECT_TRUE(other.Takes(Record("noextension")));
  EXPECT_FALSE(other.Takes(Record("a.pdf")));

  RecordCriteria named;
  named.name = "pict";
  EXPECT_TRUE(RecordFilter(named).Takes(folder));
}

TEST(RecordFilter, SizesDatesAndStatesAsTyped) {
  EXPECT_EQ(ParseByteSize("1500"), 1500u);
  EXPECT_EQ(ParseByteSize("64K"), 65536u);
  EXPECT_EQ(ParseByteSize("2.5m"), 2621440u);
  EXPECT_EQ(ParseByteSize("1G"), 1073741824u);
  EXPECT_EQ(ParseByteSize(""), std::nullopt);
  EXPECT_EQ(ParseByteSize("-1"), std::nullopt);
  EXPECT_EQ(ParseByteSize("12KB"), std::nullopt);
  EXPECT_EQ(ParseByteSize("99999999999T"), std::nullopt);
  EXPECT_EQ(ParseDayStart("2026-11-30"), FileTimeFromCalendar(2026, 11, 30, 0, 0, 0));
  EXPECT_EQ(ParseDayStart("2026-02-30"), std::nullopt);
  EXPECT_EQ(ParseDayStart("2026-11"), std::nullopt);
  EXPECT_EQ(ParseDayStart("2026-11-30x"), std::nullopt);
  EXPECT_EQ(ParseStates("deleted,damaged"), kStateDeleted | kStateDamaged);
  EXPECT_EQ(ParseStates("carved"), kStateCarved);
  EXPECT_EQ(ParseStates("gone"), std::nullopt);
  EXPECT_EQ(ParseStates(""), std::nullopt);
}

}  // namespace
}  // namespace salvora
