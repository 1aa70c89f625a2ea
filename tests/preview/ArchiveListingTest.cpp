#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "PreviewFixtures.h"
#include "preview/ArchiveListing.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

std::string Listing(const std::string& fixture) {
  ProcessResult result = RunPreviewHelperBinary({"list", PreviewFixture(fixture)});
  EXPECT_TRUE(result.ExitedWith(0)) << fixture << ": " << result.err;
  return result.out;
}

TEST(ArchiveListingTest, ListsEveryMemberWithSizeAndDateAfterTheSeparator) {
  for (const char* fixture :
       {"archive.zip", "archive.jar", "archive.7z", "archive.tar.gz", "archive.tar.bz2", "archive.tar.xz"}) {
    std::vector<std::string> lines = Lines(Listing(fixture));
    ASSERT_FALSE(lines.empty()) << fixture;
    EXPECT_EQ(lines.front(), "-------------------") << fixture;
    bool sawBravo = false;
    bool sawCharlie = false;
    for (const std::string& line : lines) {
      sawBravo |= line.ends_with("  tree/docs/bravo.txt") && line.find(" 14  ") != std::string::npos;
      sawCharlie |= line.ends_with("  tree/charlie.bin") && line.find(" 20000  ") != std::string::npos;
    }
    EXPECT_TRUE(sawBravo && sawCharlie) << fixture << "\n" << Listing(fixture);
  }
}

TEST(ArchiveListingTest, SingleCompressedFileIsListedAsOneMember) {
  TempDir dir;
  MustRun("gzip -c " + Quote(PreviewFixture("letter.txt")) + " > " + Quote(dir / "letter.txt.gz"));
  ProcessResult result = RunPreviewHelperBinary({"list", dir / "letter.txt.gz"});
  ASSERT_TRUE(result.ExitedWith(0)) << result.err;
  EXPECT_EQ(Lines(result.out).size(), 2u);
}

TEST(ArchiveListingTest, ZipBombsStayBounded) {
  std::vector<std::string> many = Lines(Listing("many.zip"));
  ASSERT_EQ(many.size(), 1 + preview::kMaxListedMembers + 1);
  EXPECT_EQ(many.back(), "... listing stopped after 20000 members");
  // Three members that inflate to 120 MiB each: the third is listed, and the
  // listing stops rather than decompress through it.
  std::vector<std::string> inflating = Lines(Listing("inflating.tar.gz"));
  ASSERT_EQ(inflating.size(), 5u);
  EXPECT_TRUE(inflating[3].ends_with("zeros2.bin"));
  EXPECT_EQ(inflating[4].rfind("... listing stopped", 0), 0u);
}

TEST(ArchiveListingTest, MemberNamesCannotBreakTheListingIntoFakeLines) {
  TempDir dir;
  MustRun("cd " + Quote(dir.path()) + " && python3 -c " +
          Quote("import zipfile; z = zipfile.ZipFile('n.zip', 'w'); z.writestr('a\\nb\\x1b[31m', b'x'); z.close()"));
  std::vector<std::string> lines = Lines(RunPreviewHelperBinary({"list", dir / "n.zip"}).out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[1].ends_with("a?b?[31m"));
}

TEST(ArchiveListingTest, DataThatIsNoArchiveFails) {
  EXPECT_TRUE(RunPreviewHelperBinary({"list", PreviewFixture("letter.txt")}).ExitedWith(1));
  EXPECT_TRUE(RunPreviewHelperBinary({"list", PreviewFixture("picture.png")}).ExitedWith(1));
}

}  // namespace
}  // namespace salvora::test
