// Files whose length only their own structure tells, made by the real
// encoders and laid back to back at sector boundaries with noise (never
// zeros) after each one and between them: every one is carved to its exact
// length and recovered byte for byte.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "carving/CarveSweep.h"
#include "carving/FileTypeRecovery.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

const char* const kStructuredFiles[][2] = {
    {"exif.jpg", "jpg"},     {"tables.jpg", "jpg"},   {"progressive.jpg", "jpg"},
    {"frames.gif", "gif"},   {"picture.png", "png"},  {"alpha.bmp", "bmp"},
    {"strips.tif", "tif"},   {"motorola.tif", "tif"}, {"layered.psd", "psd"},
    {"untagged.mp3", "mp3"}, {"movie.mp4", "mp4"},    {"fast.mp4", "mp4"},
    {"clip.mov", "mov"},     {"voice.m4a", "m4a"},    {"phone.3gp", "3gp"},
    {"film.mkv", "mkv"},     {"live.mkv", "mkv"},     {"web.webm", "mkv"},
    {"flash.flv", "flv"},    {"program.mpg", "mpeg"}, {"sound.ogg", "ogg"},
    {"records.db", "db"},    {"serif.ttf", "ttf"},    {"plain.gz", "gz"},
    {"best.gz", "gz"},       {"text.xz", "xz"},       {"text.bz2", "bz2"},
    {"streamed.zip", "zip"}, {"stored.zip", "zip"},
};

bool HaveEncoders() {
  for (const char* tool : {"convert", "ffmpeg", "sqlite3", "gzip", "xz", "bzip2"})
    if (!HaveCommand(tool)) return false;
  return Run("/usr/bin/python3 -c 'import fontTools' || python3 -c 'import fontTools'") == 0;
}

struct Placed {
  std::string file, extension;
  uint64_t sector = 0, size = 0;
};

TEST(StructureSizes, EveryFileAmidNoiseIsCarvedToItsExactLength) {
  if (!HaveEncoders()) GTEST_SKIP() << "needs ImageMagick, ffmpeg, sqlite3, xz, bzip2, fontTools";
  ScopedDataDir data;
  TempDir files, work, out;
  MustRun("bash " + std::string(SALVORA_SOURCE_DIR) + "/tests/carving/make_structured_files.sh " +
          Quote(files.path()));
  ImageBuilder image;
  image.RandomSectors(16, 1);
  std::vector<Placed> placed;
  uint64_t seed = 10;
  for (const auto& [file, extension] : kStructuredFiles) {
    std::string bytes = ReadFile(files / file);
    ASSERT_FALSE(bytes.empty()) << file;
    placed.push_back({file, extension, image.Place(bytes), bytes.size()});
    image.RandomTail(++seed);
    image.RandomSectors(seed % 3, seed);
  }
  image.RandomSectors(16, 2);
  WriteFile(work / "mixed.img", image.bytes());

  CFileTypeRecovery engine;
  ASSERT_EQ(engine.OpenImage(work / "mixed.img", 1), 0);
  uint64_t found = 0;
  ASSERT_EQ(CarveWholeSource(engine, engine.Source(), 512, found), 0);
  std::vector<FoundRecord> records;
  engine.ListFolder(nullptr, 0, records);
  std::map<uint64_t, FoundRecord> bySector;
  for (const FoundRecord& r : records) bySector[uint64_t{r.entrySector}] = r;
  for (const Placed& p : placed) {
    SCOPED_TRACE(p.file);
    auto it = bySector.find(p.sector);
    ASSERT_NE(it, bySector.end()) << "nothing carved at sector " << p.sector;
    EXPECT_STREQ(it->second.name, (std::to_string(p.sector) + "." + p.extension).c_str());
    EXPECT_EQ(uint64_t{it->second.fileSize}, p.size);
    std::string target = out / it->second.name;
    ASSERT_EQ(engine.RecoverItem(&it->second, target, 0), 0);
    EXPECT_EQ(FileSha256(target), FileSha256(files / p.file));
  }
}

}  // namespace
}  // namespace salvora::test
