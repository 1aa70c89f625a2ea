#include "preview/TextSanitizer.h"

#include <gtest/gtest.h>

namespace salvora::preview {
namespace {

TEST(TextSanitizerTest, CharactersThatDisguiseANameAreReplaced) {
  // U+202E turns "gpj.exe" into what reads as "exe.jpg".
  EXPECT_EQ(SanitizeText("photo\u202Egpj.exe", 100), "photo?gpj.exe");
  EXPECT_EQ(SanitizeText("a\u2066b\u2069c\u202Ad", 100), "a?b?c?d");
  EXPECT_EQ(SanitizeText("one\u2028two\u2029", 100), "one?two?");
  EXPECT_EQ(SanitizeText("c1\xC2\x85\xC2\x9B" "31m", 100), "c1??31m");
  // Neighbours of the replaced ranges stay.
  EXPECT_EQ(SanitizeText("\u00A0\u2027\u202F\u2065\u206A\u00E9", 100),
            "\u00A0\u2027\u202F\u2065\u206A\u00E9");
  EXPECT_EQ(SanitizeText("a\nb\x1B", 100, LineBreaks::kReplace), "a?b?");
}

}  // namespace
}  // namespace salvora::preview
