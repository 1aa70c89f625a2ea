#include <gtest/gtest.h>

#include "PreviewFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

struct Case {
  const char* mode;
  const char* fixture;
};

const Case kCases[] = {
    {"picture", "picture.jpg"},  {"picture", "picture.png"},   {"picture", "picture.gif"},
    {"picture", "picture.tif"},  {"picture", "picture.webp"},  {"picture", "large.jpg"},
    {"pdf", "letter.pdf"},       {"text", "letter.docx"},      {"text", "letter.odt"},
    {"text", "letter.doc"},      {"text", "sheet.xlsx"},       {"text", "sheet.ods"},
    {"text", "sheet.xls"},       {"text", "deck.pptx"},        {"text", "deck.odp"},
    {"list", "archive.zip"},     {"list", "archive.7z"},       {"list", "archive.tar.gz"},
    {"list", "archive.tar.bz2"}, {"list", "archive.tar.xz"},
};

// The first half of the file, and the whole file with a stretch of noise
// written over its middle.
std::vector<std::string> Damaged(const std::string& bytes, uint64_t seed) {
  std::string corrupted = bytes;
  size_t length = std::min<size_t>(corrupted.size() / 4, 4096);
  corrupted.replace(corrupted.size() / 2 - length / 2, length, PseudoRandomBytes(length, seed));
  return {bytes.substr(0, bytes.size() / 2), corrupted};
}

std::string Extension(const std::string& name) { return name.substr(name.find('.')); }

// A crash, a hang or a wrong exit status would leave the application without
// its fallback; success with what could be read is fine.
TEST(DamagedFilesTest, TruncatedAndCorruptedFilesEndWithinTheLimitWithExit0Or1) {
  TempDir dir;
  uint64_t seed = 1;
  for (const Case& test : kCases) {
    for (const std::string& bytes : Damaged(ReadFile(PreviewFixture(test.fixture)), seed++)) {
      std::string input = dir / ("damaged" + Extension(test.fixture));
      WriteFile(input, bytes);
      std::vector<std::string> args = {test.mode, input};
      if (std::string(test.mode) == "picture" || std::string(test.mode) == "pdf") args.push_back(dir / "out.png");
      ProcessResult result = RunPreviewHelperBinary(args);
      EXPECT_EQ(result.end, ProcessEnd::kExited) << test.fixture << " seed " << seed;
      EXPECT_TRUE(result.exitCode == 0 || result.exitCode == 1) << test.fixture << ": " << result.err;
      if (result.exitCode == 1) {
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
      }
    }
  }
}

}  // namespace
}  // namespace salvora::test
