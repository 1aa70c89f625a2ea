// A FAT volume, reformatted, that held a movie written into the holes of
// deleted files (mtools fills the first free clusters first), so that its
// clusters lie in two or three runs with other files' data between: the
// deep engine trusts no FAT and the movie's chain is gone, yet the movie
// comes back byte-exact from its sample tables. One whose middle was
// written over since comes back marked damaged, not stitched wrong.
#include <gtest/gtest.h>

#include <map>

#include "fat/FatDeepFixture.h"
#include "platform/ErrorCodes.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

class FragmentedOnFat : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"mkfs.fat", "mcopy", "ffmpeg"})
      if (!HaveCommand(tool)) GTEST_SKIP() << "needs mtools, dosfstools and ffmpeg";
    MustRun("ffmpeg -v error -f lavfi -i testsrc2=size=480x360:rate=25:duration=2 "
            "-pix_fmt yuv420p -fflags +bitexact -c:v libx264 " +
            Quote(h_.dir / "clip.mp4"));
    movie_ = ReadFile(h_.dir / "clip.mp4");
    image_ = h_.dir / "fat.img";
    MustRun("mkfs.fat -F 16 -s 2 -C " + Quote(image_) + " 20480 >/dev/null");
    MustRun("mmd -i " + Quote(image_) + " ::/SUB");
  }

  // Writes `sizes` filler files, deletes those marked, then the movie.
  void Fill(const std::vector<std::pair<size_t, bool>>& fillers) {
    int n = 0;
    for (const auto& [size, deleted] : fillers) {
      const std::string name = "f" + std::to_string(++n) + ".dat";
      WriteFile(h_.dir / name, PseudoRandomBytes(size, n));
      MustRun("mcopy -i " + Quote(image_) + " " + Quote(h_.dir / name) + " ::/SUB/" + name);
    }
    n = 0;
    for (const auto& [size, deleted] : fillers) {
      ++n;
      if (deleted) MustRun("mdel -i " + Quote(image_) + " ::/SUB/f" + std::to_string(n) + ".dat");
    }
    MustRun("mcopy -i " + Quote(image_) + " " + Quote(h_.dir / "clip.mp4") + " ::/SUB/CLIP.MP4");
    MustRun("mdel -i " + Quote(image_) + " ::/SUB/CLIP.MP4");
  }

  // Reformats, sweeps, and recovers the movie; `result` gets the copy's.
  std::string RecoverMovie(int& result, std::string* image = nullptr) {
    MustRun("mkfs.fat -F 16 -s 2 " + Quote(image_) + " >/dev/null");
    std::string bytes = ReadFile(image_);
    if (image) bytes = *image = ImageWithMiddleOverwritten(bytes);
    h_.Sweep(bytes);
    for (const auto& [path, record] : h_.Tree()) {
      if (path.find("lip.mp4") == std::string::npos) continue;
      const std::string out = h_.dir / "out.mp4";
      result = h_.engine.RecoverItem(&record, out, 0);
      return ReadFile(out);
    }
    std::string listed;
    for (const auto& [path, record] : h_.Tree()) listed += path + " ";
    ADD_FAILURE() << "the movie is not listed: " << listed;
    return {};
  }

  // The image with 8 KiB of noise over the movie's middle wherever it lies.
  std::string ImageWithMiddleOverwritten(std::string image) const {
    const size_t middle = movie_.size() / 2 / 1024 * 1024;
    const size_t at = image.find(movie_.substr(middle, 1024));
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos) image.replace(at, 8192, PseudoRandomBytes(8192, 99));
    return image;
  }

  DeepFatHarness h_;
  std::string movie_, image_;
};

TEST_F(FragmentedOnFat, AMovieInTwoRunsComesBackWhole) {
  Fill({{30000, false}, {40000, true}, {30000, false}});
  int result = -1;
  std::string copied = RecoverMovie(result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(copied == movie_) << copied.size() << " bytes";
}

TEST_F(FragmentedOnFat, AMovieInThreeRunsComesBackWhole) {
  Fill({{30000, false}, {20000, true}, {10000, false}, {20000, true}, {10000, false}});
  int result = -1;
  std::string copied = RecoverMovie(result);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(copied == movie_) << copied.size() << " bytes";
}

TEST_F(FragmentedOnFat, AMovieOverwrittenInItsMiddleIsReportedDamaged) {
  Fill({{30000, false}, {40000, true}, {30000, false}});
  int result = -1;
  std::string image;
  std::string copied = RecoverMovie(result, &image);
  EXPECT_EQ(result, kFileCorrupt);
  EXPECT_FALSE(copied == movie_);
}

// A photo from ImageMagick whose rest lies 800 KB further on, past another
// file, on a reformatted volume of 8 KiB clusters: it decodes whole only
// with the right continuation, which the search reaches within its bounds.
TEST(FragmentedPhotoOnFat, ComesBackWholeAcrossALargeGap) {
  for (const char* tool : {"mkfs.fat", "mcopy", "convert"})
    if (!HaveCommand(tool)) GTEST_SKIP() << "needs mtools, dosfstools and ImageMagick";
  DeepFatHarness h;
  const std::string image = h.dir / "fat.img", photo = h.dir / "photo.jpg";
  MustRun("convert -size 1400x1000 -seed 7 plasma: -quality 92 " + Quote(photo));
  MustRun("mkfs.fat -F 16 -s 16 -C " + Quote(image) + " 40960 >/dev/null");
  MustRun("mmd -i " + Quote(image) + " ::/DCIM");
  int n = 0;
  for (size_t size : {65536, 800000}) {
    const std::string filler = h.dir / ("f" + std::to_string(++n));
    WriteFile(filler, PseudoRandomBytes(size, n));
    MustRun("mcopy -i " + Quote(image) + " " + Quote(filler) + " ::/DCIM/F" + std::to_string(n));
  }
  MustRun("mdel -i " + Quote(image) + " ::/DCIM/F1");
  MustRun("mcopy -i " + Quote(image) + " " + Quote(photo) + " ::/DCIM/PHOTO.JPG");
  MustRun("mshowfat -i " + Quote(image) + " ::/DCIM/PHOTO.JPG | grep -q '> <'");
  MustRun("mkfs.fat -F 16 -s 16 " + Quote(image) + " >/dev/null");
  h.Sweep(ReadFile(image));
  std::string copied;
  for (const auto& [path, record] : h.Tree()) {
    if (path.find("PHOTO.JPG") == std::string::npos && path.find("photo.jpg") == std::string::npos)
      continue;
    EXPECT_EQ(h.engine.RecoverItem(&record, h.dir / "out.jpg", 0), 0);
    copied = ReadFile(h.dir / "out.jpg");
  }
  EXPECT_TRUE(copied == ReadFile(photo)) << copied.size() << " bytes";
}

}  // namespace
}  // namespace salvora::test
