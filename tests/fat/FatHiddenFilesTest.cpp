// Files that cameras and other systems write in ways backup tools do not:
// without the archive bit, and dated 1980 by a device without a clock.
// Both scans list them under their names, on volumes made by the real
// tools.
#include <gtest/gtest.h>

#include <map>

#include "fat/FatDeepFixture.h"
#include "fat/FatTestImage.h"

namespace salvora::test {
namespace {

struct CameraFile {
  std::string path;     // on the volume, names as a camera writes them
  std::string stamp;    // modification time the copy keeps
  bool clearArchive;    // the archive bit taken away after the copy
  std::string content;
};

std::vector<CameraFile> CameraFiles() {
  return {{"DCIM/100CAMRA/IMG_0001.JPG", "1980-01-01 00:00", true, PseudoRandomBytes(5000, 31)},
          {"DCIM/100CAMRA/IMG_0002.JPG", "1985-03-04 10:20", false, PseudoRandomBytes(7000, 32)},
          {"DCIM/100CAMRA/Holiday clip.MOV", "2015-06-07 08:09", true, PseudoRandomBytes(9000, 33)},
          {"DCIM/100CAMRA/NOTES.TXT", "1980-01-01 00:00", true, PseudoRandomBytes(300, 34)}};
}

bool HaveFatTools() {
  return HaveCommand("mkfs.fat") && HaveCommand("mcopy") && HaveCommand("mattrib");
}

// Copies the files keeping their times, then clears archive bits.
void WriteCameraFiles(const TempDir& dir, const std::string& image) {
  Mtools("mmd", image, "::/DCIM ::/DCIM/100CAMRA");
  int n = 0;
  for (const CameraFile& file : CameraFiles()) {
    std::string source = dir / ("camera" + std::to_string(++n));
    WriteFile(source, file.content);
    MustRun("touch -d " + Quote(file.stamp) + " " + Quote(source));
    MustRun("mcopy -m -i " + Quote(image) + " " + Quote(source) + " " + VolumePath(file.path));
    if (file.clearArchive) Mtools("mattrib", image, "-a " + VolumePath(file.path));
  }
}

std::string LowerShortName(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  bool longName = name.find(' ') != std::string::npos;
  if (!longName)
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

TEST(FatHiddenFiles, QuickScanListsDeletedFilesWithoutArchiveBitOrWithOldDates) {
  if (!HaveFatTools()) GTEST_SKIP() << "needs dosfstools and mtools";
  TempDir dir;
  std::string image = MakeFatImage(dir, 16);
  WriteCameraFiles(dir, image);
  for (const CameraFile& file : CameraFiles()) Mtools("mdel", image, VolumePath(file.path));
  EngineOnImage engine(image);
  ASSERT_EQ(engine.openResult(), 0);
  ASSERT_EQ(engine->Scan(nullptr), 0);
  auto found = engine.FoundFiles();
  for (const CameraFile& file : CameraFiles()) {
    std::string name = LowerShortName(file.path);
    std::string listed = "dcim/100camra/" + (name[0] == 'H' ? name : "!" + name.substr(1));
    SCOPED_TRACE(listed);
    ASSERT_TRUE(found.count(listed));
    std::string target = dir / ("out/" + name);
    ASSERT_EQ(engine->RecoverItem(&found[listed], target, 0), 0);
    EXPECT_TRUE(ReadFile(target) == file.content);
  }
}

// A reformatted card: the old folders keep their entries, which the deep
// scan must believe although they are dated 1980 or lack the archive bit.
TEST(FatHiddenFiles, DeepScanOfReformattedCardKeepsNamesAndFolders) {
  if (!HaveFatTools()) GTEST_SKIP() << "needs dosfstools and mtools";
  DeepFatHarness h;
  std::string image = h.dir / "card.img";
  MustRun("mkfs.fat -F 32 -s 2 -i 1234abcd -C " + Quote(image) + " 81920 >/dev/null");
  WriteCameraFiles(h.dir, image);
  MustRun("mkfs.fat -F 32 -s 2 -i 99990000 " + Quote(image) + " >/dev/null");
  h.Sweep(ReadFile(image));
  std::map<std::string, FoundRecord> byBelowTop;
  for (const auto& [path, record] : h.Tree()) {
    size_t slash = path.find('/');
    if (slash != std::string::npos) byBelowTop[path.substr(slash + 1)] = record;
  }
  int n = 0;
  for (const CameraFile& file : CameraFiles()) {
    std::string below = "100camra/" + LowerShortName(file.path);
    SCOPED_TRACE(below);
    ASSERT_TRUE(byBelowTop.count(below));
    std::string out = h.dir / ("out" + std::to_string(++n));
    ASSERT_EQ(h.engine.RecoverItem(&byBelowTop[below], out, 0), 0);
    EXPECT_TRUE(ReadFile(out) == file.content);
  }
}

}  // namespace
}  // namespace salvora::test
