#include "previewclient/TextView.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/TestSupport.h"

namespace salvora {
namespace {

std::string View(const std::string& bytes) {
  return FormatTextView({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

TEST(TextViewTest, ZeroBytesBecomeFullStopsAndTheTextEndsWithALineBreak) {
  EXPECT_EQ(View(std::string("PK\0\0ab", 6)), "PK..ab\r\n");
  EXPECT_EQ(View(""), "\r\n");
}

TEST(TextViewTest, ALineBreakFollowsEvery1024Characters) {
  std::string bytes(2500, 'x');
  std::string view = View(bytes);
  EXPECT_EQ(view.substr(1024, 2), "\r\n");
  EXPECT_EQ(view.substr(2050, 2), "\r\n");
  EXPECT_EQ(view.size(), 2500u + 3 * 2);
  // A text that ends on a full line gets one line break, not an empty line.
  EXPECT_EQ(View(std::string(2048, 'y')).size(), 2048u + 2 * 2);
}

TEST(TextViewTest, EachByteIsOneCharacterEvenWhenItIsNotAscii) {
  // 0xE9 is é in Latin-1; it must not merge with its neighbours into UTF-8.
  EXPECT_EQ(View("\xE9\xFF" "a"), "\xC3\xA9\xC3\xBF" "a\r\n");
  std::string line(1024, '\x80');
  EXPECT_EQ(View(line).substr(2048), "\r\n");
}

TEST(TextViewTest, FileViewShowsOnlyTheFirst8192Bytes) {
  test::TempDir dir;
  test::WriteFile(dir / "big.bin", std::string(20000, '\0'));
  std::string view = TextViewOfFile(dir / "big.bin");
  EXPECT_EQ(view, [] {
    std::string expected;
    for (int line = 0; line < 8; ++line) expected += std::string(1024, '.') + "\r\n";
    return expected;
  }());
  EXPECT_EQ(TextViewOfFile(dir / "missing"), "\r\n");
}

}  // namespace
}  // namespace salvora
