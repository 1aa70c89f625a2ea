// Real files made by real encoders, laid back to back at sector boundaries
// with gaps of zeros and of noise, found by a sector-by-sector sweep and
// recovered byte for byte.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "carving/CarveSweep.h"
#include "carving/FileTypeRecovery.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

struct Placed {
  std::string file;
  std::string extension;
  uint64_t sector;
  uint64_t size;
};

const char* const kRealFiles[][2] = {
    {"photo.jpg", "jpg"},   {"picture.png", "png"}, {"anim.gif", "gif"},     {"paint.bmp", "bmp"},
    {"report.pdf", "pdf"},  {"archive.zip", "zip"}, {"letter.docx", "docx"}, {"tone.wav", "wav"},
    {"clip.avi", "avi"},    {"song.mp3", "mp3"},    {"tune.mid", "mid"},     {"packed.7z", "7z"},
    {"cabinet.cab", "cab"}, {"font.ttf", "ttf"},    {"icon.ico", "ico"},
};

bool HaveEncoders() {
  for (const char* tool : {"convert", "ffmpeg", "zip", "7z", "gcab", "abc2midi"})
    if (!HaveCommand(tool)) return false;
  return Run("/usr/bin/python3 -c 'import fontTools' || python3 -c 'import fontTools'") == 0;
}

class CarvingSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveEncoders()) GTEST_SKIP() << "the fixture encoders are not installed";
    MustRun("bash " + std::string(SALVORA_SOURCE_DIR) + "/tests/carving/make_real_files.sh " +
            Quote(files_.path()));
    ImageBuilder image;
    image.RandomSectors(40, 1);
    int gap = 0;
    for (const auto& [file, extension] : kRealFiles) {
      std::string bytes = ReadFile(files_ / file);
      ASSERT_FALSE(bytes.empty()) << file;
      placed_.push_back({file, extension, image.Place(bytes), bytes.size()});
      if (++gap % 2)
        image.ZeroSectors(gap % 3 + 1);
      else
        image.RandomSectors(gap % 4 + 1, 100 + gap);
    }
    image.RandomSectors(40, 2);
    imagePath_ = work_ / "mixed.img";
    WriteFile(imagePath_, image.bytes());
  }

  // Sweeps the image and returns the stored records by start sector.
  std::map<uint64_t, FoundRecord> Sweep(CFileTypeRecovery& engine) {
    EXPECT_EQ(engine.OpenImage(imagePath_, 7), 0);
    uint64_t found = 0;
    EXPECT_EQ(CarveWholeSource(engine, engine.Source(), 512, found), 0);
    std::vector<FoundRecord> records;
    engine.ListFolder(nullptr, 0, records);
    EXPECT_EQ(records.size(), found);
    std::map<uint64_t, FoundRecord> bySector;
    for (const FoundRecord& r : records) bySector[uint64_t{r.entrySector}] = r;
    return bySector;
  }

  ScopedDataDir data_;
  TempDir files_, work_;
  std::vector<Placed> placed_;
  std::string imagePath_;
};

TEST_F(CarvingSweep, FindsEveryFileWithItsNameTypeAndSize) {
  CFileTypeRecovery engine;
  auto records = Sweep(engine);
  for (const Placed& p : placed_) {
    SCOPED_TRACE(p.file);
    auto it = records.find(p.sector);
    ASSERT_NE(it, records.end());
    const FoundRecord& r = it->second;
    EXPECT_STREQ(r.name, (std::to_string(p.sector) + "." + p.extension).c_str());
    EXPECT_EQ(+r.engineKind, 4u);
    EXPECT_EQ(+r.contentOk, 1u);
    EXPECT_EQ(+r.clusterBytes, 0xFFFFFFFFu);
    EXPECT_EQ(+r.sourceTag, 7);
    EXPECT_EQ(+r.fileSize, p.size);
  }
}

TEST_F(CarvingSweep, RecoversEveryFileByteForByte) {
  CFileTypeRecovery engine;
  auto records = Sweep(engine);
  TempDir out;
  for (const Placed& p : placed_) {
    SCOPED_TRACE(p.file);
    auto it = records.find(p.sector);
    ASSERT_NE(it, records.end());
    std::string target = out / ("deep/" + std::string(it->second.name));
    ASSERT_EQ(engine.RecoverItem(&it->second, target, 0), 0);
    EXPECT_EQ(FileSha256(target), FileSha256(files_ / p.file));
  }
}

}  // namespace
}  // namespace salvora::test
