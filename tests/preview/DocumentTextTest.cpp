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

TEST(DocumentTextTest, LegacyPresentationShowsTheTextOfItsSlidesWithoutAConverter) {
  // catppt finds no text in presentations LibreOffice writes (the text sits
  // in the slides' drawings); the helper reads the text atoms itself.
  TempDir dir;
  WriteFile(dir / "catppt", "#!/bin/sh\nexit 1\n");
  MustRun("chmod +x " + Quote(dir / "catppt"));
  ProcessResult result = RunPreviewHelperBinary(
      {"text", PreviewFixture("deck.ppt")}, {"PATH=" + dir.path() + ":/usr/bin:/bin"});
  ASSERT_TRUE(result.ExitedWith(0)) << result.err;
  EXPECT_EQ(result.out.rfind("Slide 1 echo\nSlide 2 echo\n", 0), 0u) << result.out;
  EXPECT_TRUE(Contains(result.out, "Slide 20 echo"));
  EXPECT_FALSE(Contains(result.out, "Slide 21 echo"));
  EXPECT_FALSE(Contains(result.out, "Click to")) << "master slides hold placeholder text";
}

TEST(DocumentTextTest, SmallDocumentsBuiltToKeepTheParserBusyEndBeforeTheTimeLimit) {
  // Both inflate from a few hundred kilobytes: one start tag with 100000
  // attributes, and a comment of 60 MiB. Each costs the XML reader work
  // that grows with the square of the token's size.
  TempDir dir;
  MustRun("cd " + Quote(dir.path()) + " && python3 -c " + Quote(R"(
import zipfile
rels = ('<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
        '<Relationship Id="r1" Type="http://schemas.openxmlformats.org/officeDocument/2006/'
        'relationships/officeDocument" Target="word/document.xml"/></Relationships>')
start = '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
bodies = {'attributes.docx': start + '<w:p ' + ' '.join('a%d="1"' % n for n in range(100000)) + '/>',
          'comment.docx': start + '<!--' + ' ' * (60 << 20) + '-->'}
for name, body in bodies.items():
    with zipfile.ZipFile(name, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('_rels/.rels', rels)
        z.writestr('word/document.xml', body + '<w:p><w:r><w:t>late</w:t></w:r></w:p></w:document>')
)"));
  for (const char* name : {"attributes.docx", "comment.docx"}) {
    ProcessResult result = RunPreviewHelperBinary({"text", dir / name});
    EXPECT_EQ(result.end, ProcessEnd::kExited) << name << ": " << DescribeProcessEnd(result, {});
    EXPECT_NE(result.err.find("salvora-preview: "), std::string::npos) << name;
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
