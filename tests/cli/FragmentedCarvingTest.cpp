// Pictures from real encoders and archives from zip, split into two and
// three runs on a raw image with other files' data, zeros and noise between
// the runs, come back byte for byte from a deep scan; pictures whose middle
// was written over are named damaged and never rebuilt from the wrong
// sectors.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora {
namespace {

using test::Quote;

enum class Gap { kZeros, kNoise, kText, kArchive };

struct Laid {
  std::string file;
  std::string extension;
  uint64_t sector;
};

class FragmentedCarving : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::HaveCommand("convert") || !test::HaveCommand("zip"))
      GTEST_SKIP() << "needs ImageMagick and zip";
    const char* const makers[] = {
        "-size 640x480 -seed 5 plasma:green-purple -quality 90 two.jpg",
        "-size 560x420 -seed 6 plasma:orange-blue -quality 92 three.jpg",
        "-size 500x380 -seed 7 plasma: -interlace JPEG -quality 90 progressive.jpg",
        "-size 420x320 -seed 8 plasma: -quality 90 overwritten.jpg",
        "-size 300x200 gradient:yellow-green -seed 2 +noise Uniform two.png",
        "-size 320x240 -seed 9 plasma: +noise Gaussian three.png",
        "-size 280x200 gradient:red-blue -seed 4 +noise Uniform overwritten.png",
    };
    for (const char* maker : makers) test::MustRun("cd " + Quote(dir_.path()) + " && convert " + maker);
    test::MustRun("cd " + Quote(dir_.path()) +
                  " && head -c 60000 /usr/share/common-licenses/GPL-3 > text.txt" +
                  " && zip -X -q other.zip text.txt && seq 1 30000 > numbers.txt" +
                  " && zip -X -q three.zip numbers.txt text.txt && zip -X -q -0 three.zip two.png");
    // An office package: the content types first, then the document.
    test::MustRun("cd " + Quote(dir_.path()) + " && mkdir -p doc/_rels doc/word && cd doc" +
                  " && printf '<?xml version=\"1.0\"?><Types/>' > '[Content_Types].xml'" +
                  " && printf '<?xml version=\"1.0\"?><Relationships/>' > _rels/.rels" +
                  " && (for i in $(seq 1 3000); do printf '<w:p>Line %d of %d</w:p>' $i $RANDOM;" +
                  " done) > word/document.xml && zip -X -q ../two.docx '[Content_Types].xml'" +
                  " _rels/.rels word/document.xml");
  }

  std::string GapBytes(Gap gap, size_t sectors, uint64_t seed) {
    switch (gap) {
      case Gap::kZeros:
        return std::string(sectors * test::kSector, '\0');
      case Gap::kNoise:
        return test::PseudoRandomBytes(sectors * test::kSector, seed);
      case Gap::kText:
        return test::ReadFile(dir_ / "text.txt").substr(0, sectors * test::kSector);
      case Gap::kArchive:
        return test::ReadFile(dir_ / "other.zip");
    }
    return {};
  }

  // Lays `file` in runs cut at the byte offsets `cuts` (whole sectors),
  // with one gap before each later run.
  void LaySplit(const std::string& file, std::vector<size_t> cuts,
                std::vector<std::pair<Gap, size_t>> gaps) {
    std::string bytes = test::ReadFile(dir_ / file);
    ASSERT_GT(bytes.size(), cuts.back() + test::kSector) << file;
    cuts.push_back(bytes.size());
    size_t from = 0;
    uint64_t start = 0;
    for (size_t i = 0; i < cuts.size(); ++i) {
      uint64_t at = image_.Place(bytes.substr(from, cuts[i] - from));
      if (i == 0) start = at;
      if (i < gaps.size()) image_.Place(GapBytes(gaps[i].first, gaps[i].second, 40 + i));
      from = cuts[i];
    }
    laid_.push_back({file, std::filesystem::path(file).extension().string(), start});
  }

  // Lays `file` whole, with `sectors` sectors from `at` written over.
  uint64_t LayOverwritten(const std::string& file, size_t at, size_t sectors) {
    std::string bytes = test::ReadFile(dir_ / file);
    bytes.replace(at, sectors * test::kSector, test::PseudoRandomBytes(sectors * test::kSector, 77));
    return image_.Place(bytes);
  }

  int Salvora(const std::string& arguments, std::string& output) {
    return test::Run("SALVORA_DATA_DIR=" + Quote(data_.path()) + " " +
                         Quote(test::SalvoraBinary()) + " " + arguments,
                     &output);
  }

  // The recovered file called `name`, wherever the recovery filed it.
  std::string Recovered(const std::string& name) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out_.path()))
      if (entry.path().filename() == name) return entry.path().string();
    return {};
  }

  test::TempDir dir_, data_, out_;
  test::ImageBuilder image_;
  std::vector<Laid> laid_;
};

TEST_F(FragmentedCarving, DeepRecoveryRebuildsSplitFilesAndNamesOverwrittenOnesDamaged) {
  image_.RandomSectors(16, 1);
  LaySplit("two.jpg", {8192}, {{Gap::kZeros, 24}});
  LaySplit("two.png", {12288}, {{Gap::kText, 40}});
  LaySplit("three.jpg", {4096 * 3, 4096 * 7}, {{Gap::kNoise, 40}, {Gap::kArchive, 0}});
  LaySplit("three.png", {512 * 37, 512 * 150}, {{Gap::kZeros, 8}, {Gap::kNoise, 33}});
  LaySplit("progressive.jpg", {16384}, {{Gap::kNoise, 16}});
  LaySplit("three.zip", {8192, 71680}, {{Gap::kNoise, 30}, {Gap::kZeros, 9}});
  LaySplit("two.docx", {4096}, {{Gap::kText, 12}});
  uint64_t damagedJpeg = LayOverwritten("overwritten.jpg", 12288, 8);
  image_.RandomSectors(8, 2);
  uint64_t damagedPng = LayOverwritten("overwritten.png", 8192, 6);
  image_.RandomSectors(16, 3);
  std::string imagePath = dir_ / "card.img";
  test::WriteFile(imagePath, image_.bytes());

  std::string output;
  ASSERT_EQ(Salvora("recover --deep --to " + Quote(out_.path()) + " " + Quote(imagePath), output),
            0)
      << output;
  for (const Laid& laid : laid_) {
    std::string name = std::to_string(laid.sector) + laid.extension;
    EXPECT_EQ(test::FileSha256(Recovered(name)), test::FileSha256(dir_ / laid.file))
        << laid.file << " as " << name << "\n" << output;
  }
  for (auto [sector, extension] : {std::pair{damagedJpeg, ".jpg"}, {damagedPng, ".png"}}) {
    SCOPED_TRACE(sector);
    EXPECT_EQ(Recovered(std::to_string(sector) + extension), "");
    EXPECT_NE(Recovered(std::to_string(sector) + "_damaged" + extension), "");
  }
}

}  // namespace
}  // namespace salvora
