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

std::string Listing(const std::string& path) {
  ProcessResult result = RunPreviewHelperBinary({"list", path});
  EXPECT_TRUE(result.ExitedWith(0)) << path << ": " << result.err;
  return result.out;
}

TEST(ArchiveListingTest, ListsEveryMemberWithSizeAndDateAfterTheSeparator) {
  for (const char* fixture :
       {"archive.zip", "archive.jar", "archive.7z", "archive.tar.gz", "archive.tar.bz2", "archive.tar.xz"}) {
    std::vector<std::string> lines = Lines(Listing(PreviewFixture(fixture)));
    ASSERT_FALSE(lines.empty()) << fixture;
    EXPECT_EQ(lines.front(), "-------------------") << fixture;
    bool sawBravo = false;
    bool sawCharlie = false;
    for (const std::string& line : lines) {
      sawBravo |= line.ends_with("  tree/docs/bravo.txt") && line.find(" 14  ") != std::string::npos;
      sawCharlie |= line.ends_with("  tree/charlie.bin") && line.find(" 20000  ") != std::string::npos;
    }
    EXPECT_TRUE(sawBravo && sawCharlie) << fixture << "\n" << Listing(PreviewFixture(fixture));
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
  std::vector<std::string> many = Lines(Listing(PreviewFixture("many.zip")));
  ASSERT_EQ(many.size(), 1 + preview::kMaxListedMembers + 1);
  EXPECT_EQ(many.back(), "... listing stopped after 20000 members");
  // Three members that inflate to 120 MiB each: the third is listed, and the
  // listing stops rather than decompress through it.
  std::vector<std::string> inflating = Lines(Listing(PreviewFixture("inflating.tar.gz")));
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

TEST(ArchiveListingTest, NonAsciiNamesAreListedWhateverTheLocale) {
  TempDir dir;
  MustRun("mkdir -p " + Quote(dir / "m") + " && cd " + Quote(dir / "m") +
          " && echo x > 'Grüße.txt' && echo y > '日本.txt' && zip -q ../names.zip * && "
          "7z a -bd -bso0 ../names.7z * && tar czf ../names.tar.gz *");
  for (const char* archive : {"names.zip", "names.7z", "names.tar.gz"}) {
    ProcessResult result = RunPreviewHelperBinary({"list", dir / archive}, {"LC_ALL=C", "LANG="});
    ASSERT_TRUE(result.ExitedWith(0)) << archive << ": " << result.err;
    EXPECT_NE(result.out.find("  Grüße.txt\n"), std::string::npos) << archive << "\n" << result.out;
    EXPECT_NE(result.out.find("  日本.txt\n"), std::string::npos) << archive << "\n" << result.out;
  }
}

TEST(ArchiveListingTest, MembersOfUnknownSizeCountAgainstTheSkipBudget) {
  // Written to a pipe, zip cannot go back to write sizes: every member is
  // followed by a data descriptor. Without its central directory the
  // archive is read member by member, decompressing each to pass it.
  TempDir dir;
  MustRun("cd " + Quote(dir.path()) + " && python3 -c " + Quote(R"(
import sys, zipfile
class Pipe:
    def __init__(self, f): self.f, self.n = f, 0
    def write(self, b): self.f.write(b); self.n += len(b); return len(b)
    def tell(self): return self.n
    def flush(self): self.f.flush()
with open('streamed.zip', 'wb') as f:
    archive = zipfile.ZipFile(Pipe(f), 'w', zipfile.ZIP_DEFLATED)
    for n in range(3):
        with archive.open('zeros%d.bin' % n, 'w') as member:
            for _ in range(120):
                member.write(bytes(1 << 20))
    archive.fp = None
)"));
  std::vector<std::string> lines = Lines(Listing(dir / "streamed.zip"));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back().rfind("... listing stopped", 0), 0u) << lines.back();
  EXPECT_LE(lines.size(), 5u);
}

TEST(ArchiveListingTest, ListingLongerThanThePreviewShowsEndsSayingSo) {
  TempDir dir;
  MustRun("cd " + Quote(dir.path()) + " && python3 -c " + Quote(R"(
import zipfile
with zipfile.ZipFile('long.zip', 'w') as archive:
    for n in range(8000):
        archive.writestr('%05d' % n + 'n' * 900, b'')
)"));
  std::string listing = Listing(dir / "long.zip");
  EXPECT_LT(listing.size(), size_t{8} << 20);
  std::vector<std::string> lines = Lines(listing);
  EXPECT_NE(lines.back().find("longer than a preview shows"), std::string::npos) << lines.back();
}

}  // namespace
}  // namespace salvora::test
