#include "results/RecoveryNames.h"

#include <gtest/gtest.h>

#include "results/TypeGroups.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

TEST(RecoveryNames, NamesFromDiskCannotLeaveTheDestination) {
  EXPECT_EQ(SafeFileName("../../etc/passwd"), ".._.._etc_passwd");
  EXPECT_EQ(SafeFileName(".."), "_");
  EXPECT_EQ(SafeFileName("."), "_");
  EXPECT_EQ(SafeFileName(""), "_");
  EXPECT_EQ(SafeFileName(std::string("a\0b\x01\\c", 6)), "a_b__c");
  EXPECT_EQ(SafeRelativeFolder("Docs/../x/"), "Docs/_/x/");
  // Bidi overrides, isolates, C1 controls and line separators would let a
  // name show another extension than it has.
  EXPECT_EQ(SafeFileName("photo\u202Egpj.exe"), "photo_gpj.exe");
  EXPECT_EQ(SafeFileName("a\u2067b\u2028c\xC2\x9B" "d\u00E9"), "a_b_c_d\u00E9");
  EXPECT_EQ(SafeFileName("\xE2\x80"), "\xE2\x80") << "a cut sequence is left as it is";
  EXPECT_EQ(SafeRelativeFolder(""), "");
}

TEST(RecoveryNames, UniquePathsNeverOverwrite) {
  test::TempDir dir;
  std::string path = dir / "a.jpg";
  EXPECT_EQ(UniquePath(path), path);
  test::WriteFile(path, "x");
  EXPECT_EQ(UniquePath(path), dir / "a(1).jpg");
  test::WriteFile(dir / "a(1).jpg", "x");
  EXPECT_EQ(UniquePath(path), dir / "a(2).jpg");
  test::WriteFile(dir / "noext", "x");
  EXPECT_EQ(UniquePath(dir / "noext"), dir / "noext(1)");
}

TEST(RecoveryNames, GroupFoldersUseTheSubstringTest) {
  EXPECT_EQ(GroupFolderOfName("x.JPG"), "photo");
  EXPECT_EQ(GroupFolderOfName("x.rm"), "audio") << "audio is tested before video";
  EXPECT_EQ(GroupFolderOfName("x.htm"), "document");
  EXPECT_EQ(GroupFolderOfName("x.7z"), "archive");
  EXPECT_EQ(GroupFolderOfName("x.mkv"), "video");
  EXPECT_EQ(GroupFolderOfName("x.dat"), "others");
  EXPECT_EQ(GroupFolderOfName("noext"), "others");
  EXPECT_TRUE(IsImageExtension("p")) << "a single letter found inside the list counts";
  EXPECT_EQ(PathDepth("/a/b/"), 2);
  EXPECT_EQ(PathDepth("/a/b"), 2);
}

TEST(RecoveryNames, PreviewRoutes) {
  EXPECT_EQ(RoutePreview("a.jpg"), PreviewRoute::kImage);
  EXPECT_EQ(RoutePreview("a.mp3"), PreviewRoute::kMedia);
  EXPECT_EQ(RoutePreview("a.avi"), PreviewRoute::kMedia);
  EXPECT_EQ(RoutePreview("a.pdf"), PreviewRoute::kDocument);
  EXPECT_EQ(RoutePreview("a.dat"), PreviewRoute::kMemory);
  EXPECT_EQ(RoutePreview("noext"), PreviewRoute::kMemory);
  EXPECT_EQ(RoutePreview("a.heic"), PreviewRoute::kImage);
  EXPECT_EQ(RoutePreview("a.avif"), PreviewRoute::kImage);
  EXPECT_EQ(RoutePreview("a.flac"), PreviewRoute::kMedia);
  EXPECT_EQ(RoutePreview("a.opus"), PreviewRoute::kMedia);
}

// A whole extension of one group is not taken for a part of a longer one
// in another: AVI is no AVIF picture, FLA no FLAC sound.
TEST(RecoveryNames, WholeExtensionsAreNotTakenForPartsOfLongerOnes) {
  EXPECT_EQ(GroupFolderOfName("x.avi"), "video");
  EXPECT_EQ(GroupFolderOfName("x.avif"), "photo");
  EXPECT_EQ(GroupFolderOfName("x.fla"), "video");
  EXPECT_EQ(GroupFolderOfName("x.flac"), "audio");
  EXPECT_EQ(GroupFolderOfName("x.webp"), "photo");
  EXPECT_EQ(GroupFolderOfName("x.cr3"), "photo");
  EXPECT_FALSE(FilterTakesName(kImageGroup, false, "clip.avi"));
  EXPECT_TRUE(FilterTakesName(kImageGroup, false, "photo.AVIF"));
  EXPECT_FALSE(FilterTakesName(kAudioGroup, false, "movie.fla"));
  EXPECT_TRUE(FilterTakesName(kImageGroup, false, "x.jp")) << "parts still match";
  // The window's filter escapes each entry's dot.
  const char windowFilter[] = ".\\.jpg|.\\.txt|.\\.avif";
  EXPECT_TRUE(FilterTakesName(windowFilter, false, "Summer beach.jpg"));
  EXPECT_TRUE(FilterTakesName(windowFilter, false, "note.TXT"));
  EXPECT_FALSE(FilterTakesName(windowFilter, false, "clip.avi"));
}

TEST(RecoveryNames, RecordNamesAreCutAtCharacterBoundaries) {
  FoundRecord record {};
  std::string longName;
  for (int i = 0; i < 200; ++i) longName += "\xC3\xA9";  // é, two bytes each
  SetRecordName(record.name, longName.c_str());
  size_t length = RecordNameLength(record.name);
  EXPECT_LE(length, 259u);
  EXPECT_EQ(length % 2, 0u) << "no half character at the cut";
}

}  // namespace
}  // namespace salvora
