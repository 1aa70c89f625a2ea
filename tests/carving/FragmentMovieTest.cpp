// Movies from ffmpeg's H.264 and H.265 encoders split at cluster
// boundaries, with zeros, noise or another file's data between the runs:
// the sample tables put every run back, whether the movie box comes
// before the media data or after it, and a movie whose middle is
// overwritten is named damaged rather than stitched from the wrong bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "carving/FileTypeRecovery.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

constexpr size_t kCluster = 4096;

struct Carved {
  std::string name;
  std::string bytes;
  bool doubtful = false;  // listed as a file whose content may not be whole
};

// Carves the image and recovers the file found at `start`.
Carved CarveAt(const std::string& imagePath, uint64_t start, const TempDir& out) {
  CFileTypeRecovery engine;
  for (const FoundRecord& record : CarveImageFile(engine, imagePath)) {
    if (record.entrySector != start) continue;
    const std::string path = out / std::to_string(start) + "-" + record.name;
    std::filesystem::remove(path);
    EXPECT_EQ(engine.RecoverItem(&record, path, 0), 0);
    return {record.name, ReadFile(path), record.contentOk == 0};
  }
  return {};
}

class SplitMovie : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HaveCommand("ffmpeg")) return;
    movies_ = new std::map<std::string, std::string>;
    TempDir dir;
    const std::string source =
        "ffmpeg -y -v error -f lavfi -i testsrc2=size=480x360:rate=25:duration=4 "
        "-f lavfi -i sine=frequency=500:duration=4 -shortest -pix_fmt yuv420p "
        "-fflags +bitexact -c:a aac ";
    struct Made {
      const char* name;
      const char* options;
    } made[] = {{"last.mp4", "-c:v libx264"},
                {"first.mp4", "-c:v libx264 -movflags +faststart"},
                {"hevc.mov", "-c:v libx265 -tag:v hvc1 -x265-params log-level=none"}};
    for (const Made& one : made) {
      if (salvora::test::Run(source + one.options + " " + Quote(dir / one.name)) == 0)
        (*movies_)[one.name] = ReadFile(dir / one.name);
    }
  }
  static void TearDownTestSuite() {
    delete movies_;
    movies_ = nullptr;
  }
  void SetUp() override {
    if (!movies_ || !movies_->count("last.mp4")) GTEST_SKIP() << "needs ffmpeg with libx264";
  }

  // Places `movie` cut at the given clusters with each gap's bytes between
  // the runs; returns where it starts.
  uint64_t Place(const std::string& movie, const std::vector<size_t>& cuts,
                 const std::vector<std::string>& gaps) {
    std::vector<size_t> offsets;
    for (size_t cut : cuts) offsets.push_back(cut * kCluster);
    uint64_t start = 0;
    WriteFile(dir_ / "disk.img", SplitImage(movie, offsets, gaps, start));
    return start;
  }

  static std::map<std::string, std::string>* movies_;
  ScopedDataDir data_;
  TempDir dir_, out_;
};
std::map<std::string, std::string>* SplitMovie::movies_ = nullptr;

TEST_F(SplitMovie, TwoAndThreeRunsComeBackWhole) {
  const std::string& last = movies_->at("last.mp4");
  const std::string& first = movies_->at("first.mp4");
  const size_t clusters = last.size() / kCluster;
  ASSERT_GT(clusters, 12u);
  const std::string otherFile = movies_->count("hevc.mov") ? movies_->at("hevc.mov").substr(0, 7 * kSector)
                                                           : NoiseSectors(7, 3);
  struct Case {
    const std::string* movie;
    std::vector<size_t> cuts;
    std::vector<std::string> gaps;
    const char* what;
  } cases[] = {
      {&last, {clusters / 2}, {NoiseSectors(13, 4)}, "movie box last, noise"},
      {&last, {clusters / 3, 2 * clusters / 3}, {std::string(9 * kSector, '\0'), otherFile},
       "movie box last, three runs"},
      {&first, {3}, {otherFile}, "movie box first, another movie's data"},
      {&first, {clusters / 4, clusters / 2}, {NoiseSectors(2, 5), std::string(40 * kSector, '\0')},
       "movie box first, three runs"},
  };
  for (const Case& one : cases) {
    uint64_t start = Place(*one.movie, one.cuts, one.gaps);
    Carved carved = CarveAt(dir_ / "disk.img", start, out_);
    EXPECT_EQ(carved.name, std::to_string(start) + ".mp4") << one.what;
    size_t differ = 0;
    while (differ < carved.bytes.size() && differ < one.movie->size() &&
           carved.bytes[differ] == (*one.movie)[differ])
      ++differ;
    EXPECT_TRUE(carved.bytes == *one.movie)
        << one.what << ": " << carved.bytes.size() << " bytes, differing from " << differ;
  }
}

// A break inside a large frame, with noise after it, leaves two cluster
// boundaries the samples cannot choose between: the movie is rebuilt but
// listed as doubtful. Zeros instead show where the break is.
TEST_F(SplitMovie, ABreakTheSamplesCannotPlaceIsListedDoubtful) {
  const std::string& movie = movies_->at("first.mp4");
  uint64_t start = Place(movie, {3}, {NoiseSectors(9, 11)});
  Carved guessed = CarveAt(dir_ / "disk.img", start, out_);
  EXPECT_EQ(guessed.bytes.size(), movie.size());
  EXPECT_TRUE(guessed.doubtful);

  start = Place(movie, {3}, {std::string(9 * kSector, '\0')});
  Carved placed = CarveAt(dir_ / "disk.img", start, out_);
  EXPECT_TRUE(placed.bytes == movie);
  EXPECT_FALSE(placed.doubtful);
}

TEST_F(SplitMovie, AnHevcMovieComesBackWhole) {
  if (!movies_->count("hevc.mov")) GTEST_SKIP() << "needs ffmpeg with libx265";
  const std::string& movie = movies_->at("hevc.mov");
  uint64_t start = Place(movie, {movie.size() / kCluster / 2}, {NoiseSectors(21, 6)});
  Carved carved = CarveAt(dir_ / "disk.img", start, out_);
  EXPECT_TRUE(carved.bytes == movie) << carved.name;
}

TEST_F(SplitMovie, AnOverwrittenMiddleIsNamedDamaged) {
  std::string movie = movies_->at("first.mp4");
  const size_t middle = movie.size() / kCluster / 2 * kCluster;
  ImageBuilder noise;
  noise.RandomSectors(16, 7);
  movie.replace(middle, noise.bytes().size(), noise.bytes());
  uint64_t start = Place(movie, {}, {});
  Carved carved = CarveAt(dir_ / "disk.img", start, out_);
  EXPECT_EQ(carved.name, std::to_string(start) + "_damaged.mp4");
}

}  // namespace
}  // namespace salvora::test
