#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "PreviewFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

std::string Text(const std::string& fixture) {
  ProcessResult result = RunPreviewHelperBinary({"text", PreviewFixture(fixture)});
  EXPECT_TRUE(result.ExitedWith(0)) << fixture << ": " << result.err;
  return result.out;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(DocumentTextTest, WordDocumentsShowTheirFirst2048Characters) {
  for (const char* fixture : {"letter.docx", "letter.odt", "letter.doc", "letter.rtf"}) {
    std::string text = Text(fixture);
    EXPECT_TRUE(Contains(text, "Salvora letter alpha")) << fixture;
    EXPECT_TRUE(Contains(text, "Second paragraph bravo")) << fixture;
    EXPECT_TRUE(Contains(text, "Filler line 10 ")) << fixture;
    EXPECT_FALSE(Contains(text, "Filler line 200 ")) << fixture;
    EXPECT_LE(QString::fromStdString(text).size(), 2048) << fixture;
    EXPECT_GT(QString::fromStdString(text).size(), 2000) << fixture;
  }
}

TEST(DocumentTextTest, SpreadsheetsShowTenRowsOfTenCells) {
  for (const char* fixture : {"sheet.xlsx", "sheet.ods", "sheet.xls", "sheet.csv"}) {
    QStringList rows = QString::fromStdString(Text(fixture)).trimmed().split(u'\n');
    ASSERT_EQ(rows.size(), 10) << fixture;
    for (int row = 0; row < 10; ++row) {
      QStringList cells = rows[row].split(u'\t');
      ASSERT_EQ(cells.size(), 10) << fixture << " row " << row;
      EXPECT_EQ(cells.front(), QString("r%1c0").arg(row)) << fixture;
      EXPECT_EQ(cells.back(), QString("r%1c9").arg(row)) << fixture;
    }
  }
}

TEST(DocumentTextTest, PresentationsShowTheTextOfTheFirst20Slides) {
  for (const char* fixture : {"deck.pptx", "deck.odp"}) {
    std::string text = Text(fixture);
    EXPECT_TRUE(Contains(text, "Slide 1 echo")) << fixture;
    EXPECT_TRUE(Contains(text, "Slide 20 echo")) << fixture;
    EXPECT_FALSE(Contains(text, "Slide 21 echo")) << fixture;
  }
}

TEST(DocumentTextTest, LegacyPresentationGivesItsTextOrAReason) {
  // catppt does not find text that sits in the slides' drawing layer, as
  // LibreOffice writes it; then the helper must say so rather than print nothing.
  ProcessResult result = RunPreviewHelperBinary({"text", PreviewFixture("deck.ppt")});
  if (result.ExitedWith(0)) {
    EXPECT_TRUE(Contains(result.out, "Slide 1 echo"));
  } else {
    EXPECT_TRUE(result.ExitedWith(1));
    EXPECT_TRUE(Contains(result.err, "catppt"));
  }
}

TEST(DocumentTextTest, ContentDecidesHowAMisnamedPackageIsRead) {
  TempDir dir;
  MustRun("cp " + Quote(PreviewFixture("sheet.xlsx")) + " " + Quote(dir / "named-as-letter.docx"));
  ProcessResult result = RunPreviewHelperBinary({"text", dir / "named-as-letter.docx"});
  EXPECT_TRUE(result.ExitedWith(0));
  EXPECT_EQ(result.out.rfind("r0c0\tr0c1", 0), 0u);
}

TEST(DocumentTextTest, FilesThatAreNoDocumentsFail) {
  TempDir dir;
  WriteFile(dir / "noise.docx", PseudoRandomBytes(5000, 3));
  WriteFile(dir / "letter.txt", "plain text");
  EXPECT_TRUE(RunPreviewHelperBinary({"text", dir / "noise.docx"}).ExitedWith(1));
  EXPECT_TRUE(RunPreviewHelperBinary({"text", dir / "letter.txt"}).ExitedWith(1));
  EXPECT_TRUE(RunPreviewHelperBinary({"text", dir / "missing.doc"}).ExitedWith(1));
}

}  // namespace
}  // namespace salvora::test
