// Identification: the ordered table, its fast dispatch, the classifying
// detectors and the content check other engines use.
#include <gtest/gtest.h>
#include <strings.h>

#include <cctype>
#include <set>
#include <vector>

#include "carving/ContentCheck.h"
#include "carving/FileTypeCode.h"
#include "carving/PatternSearch.h"
#include "carving/SignatureTable.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

const uint8_t* U8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TEST(SignatureTable, RowsAndTheExtensionEachCodeTakes) {
  EXPECT_EQ(kSignatureTable[kSignatureRowCount].extension, nullptr);
  EXPECT_EQ(kSignatureTable[kSignatureRowCount].type, kTypeNone);
  EXPECT_STREQ(kSignatureTable[27].extension, "jpg");
  EXPECT_STREQ(kSignatureTable[85].extension, "ico");
  const std::pair<int, const char*> firstRows[] = {
      {kTypeJpeg, "jpg"},          {kTypeWordCompound, "doc"},  {kTypeSheetCompound, "xls"},
      {kTypeSlideCompound, "ppt"}, {kTypeOtherCompound, "ole"}, {kTypeOoxmlWord, "docx"},
      {kTypeOoxmlSheet, "xlsx"},   {kTypeOoxmlSlides, "pptx"},  {kTypeBitmap, "bmp"},
      {kTypeTiff, "tif"},          {kTypeIcon, "ico"},          {kTypeGzip, "gz"},
      {kTypeExecutable, "exe"},    {kTypeMpegStream, "mpeg"}};
  for (const auto& [type, extension] : firstRows)
    EXPECT_STREQ(FirstRowOfType(type)->extension, extension) << type;
  for (const char* uncarved : {"exe", "dll", "sys", "gho"})
    EXPECT_EQ(FirstRowOfExtension(uncarved)->measure, nullptr) << uncarved;
  std::set<int> codes;
  for (size_t i = 0; i < kSignatureRowCount; ++i) codes.insert(kSignatureTable[i].type);
  EXPECT_EQ(codes.size(), 67u);
  // Added rows come after the table's own, so every earlier row keeps its
  // number; a JPEG that opens with its tables is still a jpg, an untagged
  // MP3 an mp3 and a RAR 5 a rar.
  const std::pair<const char*, int> added[] = {
      {"jpg", kTypeJpeg},  {"ogg", kTypeOgg},   {"xz", kTypeXz},          {"bz2", kTypeBzip2},
      {"m4a", kTypeM4a},   {"heic", kTypeHeic}, {"avif", kTypeAvif},      {"cr3", kTypeCr3},
      {"m4v", kTypeM4v},   {"mp4", kTypeMp4},   {"cr2", kTypeCr2},        {"nef", kTypeNef},
      {"arw", kTypeArw},   {"dng", kTypeDng},   {"orf", kTypeOrf},        {"webp", kTypeWebp},
      {"flac", kTypeFlac}, {"opus", kTypeOpus}, {"rar", kTypeRar5},       {"mp3", kTypeMp3Frames}};
  static_assert(std::size(added) == kSignatureRowCount - 86);
  for (size_t i = 0; i < std::size(added); ++i) {
    EXPECT_STREQ(kSignatureTable[86 + i].extension, added[i].first);
    EXPECT_EQ(kSignatureTable[86 + i].type, added[i].second);
  }
}

// The index behind the lookup by extension answers as a walk over the rows
// comparing without regard to case would: the first row of the extension.
TEST(SignatureTable, LookupByExtensionIgnoresCaseAndTakesTheFirstRow) {
  auto walk = [](const std::string& extension) -> const SignatureRow* {
    for (size_t row = 0; kSignatureTable[row].extension; ++row)
      if (strcasecmp(kSignatureTable[row].extension, extension.c_str()) == 0)
        return &kSignatureTable[row];
    return nullptr;
  };
  for (size_t row = 0; row < kSignatureRowCount; ++row) {
    std::string extension = kSignatureTable[row].extension;
    std::string upper = extension;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(FirstRowOfExtension(extension.c_str()), walk(extension)) << extension;
    EXPECT_EQ(FirstRowOfExtension(upper.c_str()), walk(extension)) << upper;
  }
  for (const char* unknown : {"", "xyz", "jp", "jpgx", "txt.", ".jpg"})
    EXPECT_EQ(FirstRowOfExtension(unknown), walk(unknown)) << unknown;
  EXPECT_EQ(FirstRowOfExtension(nullptr), nullptr);
}

// First sectors of every detector's format (and near misses), for the
// comparisons below.
std::vector<std::string> SignatureStarts() {
  std::vector<std::string> starts = {
      Bytes({0, 0, 1, 0xBA, 1, 2, 3, 4, 0, 0, 1, 0xBB}),
      Bytes({0, 0, 1, 0xB3, 0, 0, 1, 0xB8}),
      "\x00\x00\x00\x20"
      "ftypisom",
      "\x00\x00\x00\x20"
      "ftyp3gp5",
      "\x00\x00\x00\x14"
      "ftypqt  ",
      "moov",
      ".RMF",
      Bytes({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62,
             0xCE, 0x6C}),
      "CWS\x08",
      "FWS\x05",
      "RIFF\x10\x00\x00\x00"
      "AVI LIST",
      "RIFF\x10\x00\x00\x00"
      "WAVEfmt ",
      "FLV\x01\x05\x00\x00\x00\x09",
      Bytes({0x1A, 0x45, 0xDF, 0xA3}),
      Bytes({0, 0, 0, 0, 0x47, 0x40, 0, 0x10, 0, 0, 0xB0, 0x11, 0, 0, 0xC1, 0}),
      Bytes({0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x02,
             0x04, 0x00}),
      Bytes({'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0}),
      "MThd\x00\x00\x00\x06\x00\x01\x00\x01\x00\x60MTrk",
      "MAC ",
      Bytes({0xFF, 0xFD, 0xE4, 0x00}),
      "MMMD",
      "GIF89a",
      "BM\x10\x00\x00\x00",
      Bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'}),
      Bytes({0xFF, 0xD8, 0xFF, 0xE1, 0, 0x10, 'E', 'x', 'i', 'f'}),
      Bytes({0xFF, 0xD8, 0xFF, 0xDB}),
      Bytes({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}),
      "8BPS",
      "II*",
      "MM\x00*",
      Bytes({0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x28, 1, 0, 0, 0x16, 0, 0, 0}),
      Bytes({0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}),
      Bytes({0xD0, 0xCF, 0x11, 0xE0}),
      "PK\x03\x04",
      "%PDF-1.5",
      Bytes({0x1F, 0x8B, 0x08, 0x00, 0, 0, 0, 0, 2, 3}),
      Bytes({0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C}),
      "Rar!\x1A\x07",
      "MSCF",
      "MZ",
      Bytes({0xFE, 0xEF, 0, 0}),
      std::string("SQLite format 3", 16),
      Bytes({0xCF, 0xAD, 0x12, 0xFE}),
      "!BDN\x00\x00\x00\x00SM",
      Bytes({0, 1, 0, 0, 0, 2, 0, 0x20, 0, 1, 0, 0}),
      // Formats of the added rows.
      Bytes({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43}),
      Bytes({0xFF, 0xD8, 0xFF, 0xEE, 0x00, 0x0E}),
      Bytes({'O', 'g', 'g', 'S', 0, 2}),
      Bytes({0xFD, '7', 'z', 'X', 'Z', 0, 0, 4}),
      Bytes({'B', 'Z', 'h', '9', 0x31, 0x41, 0x59, 0x26, 0x53, 0x59}),
      "\x00\x00\x00\x1c"
      "ftypM4A ",
      Bytes({'B', 'M', 0x10, 0, 0, 0, 0, 0, 0, 0, 0x8A, 0, 0, 0, 124, 0})};
  return starts;
}

class TableAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = PseudoRandomBytes(64 * kSector, 21);
    AttachBytes(source_, image_);
    PointContext(context_, source_, 4);
  }
  SectorSource source_;
  CarveContext context_;
  std::string image_;
};

// The first-byte dispatch must give exactly the ordered table's answer, and
// the sectors it passes over must be ones the table recognises nothing in.
TEST_F(TableAnswers, DispatchGivesTheTableAnswer) {
  std::vector<std::string> sectors;
  for (int i = 0; i < 3000; ++i) sectors.push_back(PseudoRandomBytes(kSector, 1000 + i));
  for (const std::string& start : SignatureStarts()) {
    for (uint64_t seed = 0; seed < 20; ++seed) {
      std::string sector = PseudoRandomBytes(kSector, seed);
      sectors.push_back(sector.replace(0, start.size(), start));
      sectors.push_back(Padded(start));
    }
  }
  for (const std::string& sector : sectors) {
    for (int follow : {0, 1}) {
      context_.tsFollowFlag = context_.mtsFollowFlag = follow;
      int answer = IdentifySectorByTable(context_, U8(sector), kSector);
      ASSERT_EQ(IdentifySector(context_, U8(sector), kSector), answer);
      // A sector passed over without an attempt is one the table knows nothing in.
      if (!MayIdentifySector(U8(sector), kSector)) {
        ASSERT_EQ(answer, kTypeNone);
      }
    }
  }
}

// Every detector, given every start cut to every length in a buffer of
// exactly that length, stays inside it (the sanitizer watches).
TEST_F(TableAnswers, DetectorsStayInsideShortBuffers) {
  for (const std::string& start : SignatureStarts()) {
    std::string full = Padded(start, 600);
    for (size_t length = 0; length <= full.size(); length += (length < 64 ? 1 : 37)) {
      std::vector<uint8_t> exact(full.begin(), full.begin() + length);
      for (size_t row = 0; row < kSignatureRowCount; ++row)
        kSignatureTable[row].detect(context_, exact.data(), static_cast<uint32_t>(length));
      IdentifySector(context_, exact.data(), static_cast<uint32_t>(length));
    }
  }
}

// Besides JFIF and Exif starts, a JPEG may open with its tables or another
// block, which the added row takes when the segment length is plausible.
TEST_F(TableAnswers, JpegStartsWithAnyPlausibleSegment) {
  std::string exif = Padded(Bytes({0xFF, 0xD8, 0xFF, 0xE1, 0, 0x10, 'E', 'x', 'i', 'f'}));
  std::string tables = Padded(Bytes({0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43}));
  std::string noLength = Padded(Bytes({0xFF, 0xD8, 0xFF, 0xDB}));
  std::string scan = Padded(Bytes({0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x0C}));
  EXPECT_EQ(IdentifySector(context_, U8(exif), kSector), kTypeJpeg);
  EXPECT_EQ(IdentifySector(context_, U8(tables), kSector), kTypeJpeg);
  EXPECT_EQ(IdentifySector(context_, U8(noLength), kSector), kTypeNone);
  EXPECT_EQ(IdentifySector(context_, U8(scan), kSector), kTypeNone);
  // The content check of a .jpg found through a file system agrees.
  EXPECT_EQ(MatchesExtension(U8(tables), kSector, "jpg", source_, kSector, 4), 1);
  EXPECT_EQ(MatchesExtension(U8(tables), kSector, "jpeg", source_, kSector, 4), 1);
  EXPECT_EQ(MatchesExtension(U8(noLength), kSector, "JPG", source_, kSector, 4), 0);
}

std::string PeSector(uint16_t characteristics) {
  std::string pe = "MZ" + Filler(58, 0) + Le32Bytes(128) + Filler(64, 0) + "PE" + Bytes({0, 0});
  pe += Filler(18, 0) + Bytes({characteristics & 0xFF, characteristics >> 8});
  return Padded(pe);
}

TEST_F(TableAnswers, ProgramImagesAreToldApartByTheirCharacteristics) {
  EXPECT_EQ(IdentifySector(context_, U8(PeSector(0x0002)), kSector), kTypeExecutable);
  EXPECT_EQ(IdentifySector(context_, U8(PeSector(0x2002)), kSector), kTypeDll);
  EXPECT_EQ(IdentifySector(context_, U8(PeSector(0x1002)), kSector), kTypeDriver);
  EXPECT_EQ(IdentifySector(context_, U8(PeSector(0x2000)), kSector), kTypeNone);
  EXPECT_EQ(MeasureAt(PeSector(0x2002), 0), kNoSize);
}

// Compound file: header at sector 0, its sector 0 at disk sector 1 and the
// directory (sector `directory`) after it.
std::string CompoundImage(const std::string& firstStream, const std::string& directory,
                          uint32_t directorySector = 1) {
  std::string header = Bytes({0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1});
  header = Padded(header);
  header.replace(48, 4, Le32Bytes(directorySector));
  ImageBuilder image;
  image.Place(header);
  image.Place(Padded(firstStream));
  image.Place(Padded(directory));
  image.RandomSectors(4, 22);
  return image.bytes();
}

std::string RootWithClass(const std::string& classId) { return Filler(80, 0) + classId; }

std::string EntryNamed(const std::string& name) {
  std::string entry;
  for (char c : name) entry += std::string(1, c) + '\0';
  return Padded(entry, 128);
}

TEST(CompoundClassification, ClassIdentifierOrStreamNameDecides) {
  const std::string wordClass =
      Bytes({0x06, 0x09, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46});
  const std::string sheetClass =
      Bytes({0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46});
  const std::string slideClass = Bytes(
      {0x10, 0x8D, 0x81, 0x64, 0x9B, 0x4F, 0xCF, 0x11, 0x86, 0xEA, 0, 0xAA, 0, 0xB9, 0x29, 0xE8});
  const struct {
    std::string firstStream, directory, extension;
  } cases[] = {
      {"", RootWithClass(wordClass), "doc"},
      {"", RootWithClass(sheetClass), "xls"},
      {"", RootWithClass(slideClass), "ppt"},
      {"", EntryNamed("Root Entry") + EntryNamed("wordDOCUMENT"), "doc"},
      {"", EntryNamed("Root Entry") + EntryNamed("Workbook"), "xls"},
      {"", EntryNamed("Root Entry") + EntryNamed("PowerPoint Document"), "ppt"},
      {"", EntryNamed("Root Entry") + EntryNamed("Contents"), "ole"},
      {Bytes({0xEC, 0xA5}), "", "doc"},
      {Bytes({0x09, 0x08, 0x10, 0x00, 0x00, 0x06}), "", "xls"},
  };
  for (const auto& c : cases) {
    std::string name;
    MeasureAt(CompoundImage(c.firstStream, c.directory), 0, &name);
    EXPECT_EQ(name, "0." + c.extension) << c.extension;
  }
  std::string name;
  MeasureAt(CompoundImage("", RootWithClass(wordClass), 5000), 0, &name);
  EXPECT_EQ(name, "0.ole") << "an unreadable directory leaves a plain compound file";
}

std::string ZipImage(const std::string& memberName) {
  std::string local = "PK" + Bytes({3, 4}) + Filler(22, 0) +
                      Bytes({static_cast<int>(memberName.size()), 0, 0, 0}) + memberName;
  ImageBuilder image;
  image.Place(Padded(local + Filler(64, 0x70)));
  image.RandomSectors(24, 23);
  return image.bytes();
}

TEST(OoxmlClassification, MemberNamesDecideThePackage) {
  const std::pair<std::string, std::string> cases[] = {{"word/document.xml", "docx"},
                                                       {"xl/workbook.xml", "xlsx"},
                                                       {"ppt/presentation.xml", "pptx"},
                                                       {"data/readme.txt", "zip"}};
  for (const auto& [member, extension] : cases) {
    std::string name;
    MeasureAt(ZipImage(member), 0, &name);
    EXPECT_EQ(name, "0." + extension) << member;
  }
}

TEST(ContentCheck, FirstRowOfTheExtensionMustRecognise) {
  SectorSource source;
  std::string image = CompoundImage(
      "", RootWithClass(Bytes({0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46})));
  AttachBytes(source, image);
  std::string exif = Padded(Bytes({0xFF, 0xD8, 0xFF, 0xE1, 0, 0x10, 'E', 'x', 'i', 'f'}));
  EXPECT_EQ(MatchesExtension(U8(exif), kSector, "jpeg", source, 512, 0), 1);
  EXPECT_EQ(MatchesExtension(U8(exif), kSector, "JPG", source, 512, 0), 1);
  EXPECT_EQ(MatchesExtension(U8(exif), kSector, "png", source, 512, 0), 0);
  EXPECT_EQ(MatchesExtension(U8(exif), kSector, "nosuch", source, 512, 0), 1);
  std::string docx = Padded("PK" + Bytes({3, 4}));
  EXPECT_EQ(MatchesExtension(U8(docx), kSector, "mso07", source, 512, 0), 0);
  EXPECT_EQ(MatchesExtension(U8(image), kSector, "xls", source, 512, 0), 1);
  EXPECT_EQ(MatchesExtension(U8(image), kSector, "doc", source, 512, 0), 0);
}

TEST(PatternSearch, FirstAndLastOccurrenceOrNone) {
  const std::string text = "abcXYabcXYab";
  EXPECT_EQ(FindForward(U8(text), text.size(), "XY", 2), 3u);
  EXPECT_EQ(FindBackward(U8(text), text.size(), "XY", 2), 8u);
  EXPECT_EQ(FindBackward(U8(text), text.size(), "ab", 2), 10u);
  EXPECT_EQ(FindForward(U8(text), text.size(), "zz", 2), kNoMatch);
  EXPECT_EQ(FindForward(nullptr, 4, "ab", 2), kNoMatch);
  EXPECT_EQ(FindBackward(U8(text), text.size(), nullptr, 2), kNoMatch);
  EXPECT_EQ(FindForward(U8(text), 1, "ab", 2), kNoMatch);
  EXPECT_EQ(FindBackward(U8(text), 2, "ab", 2), 0u);
}

// The searches look for one byte of the pattern first; whichever it is, they
// answer as a plain comparison at every position would, also for patterns
// of zeros and 0xFF and on buffers made of few byte values.
TEST(PatternSearch, AgreesWithComparingAtEveryPosition) {
  const std::string patterns[] = {Bytes({0x00, 0x3B}),
                                  Bytes({0xFF, 0xD9}),
                                  Bytes({0, 0, 1, 0xB7}),
                                  Bytes({0xFF}),
                                  Bytes({0, 0}),
                                  "TAGT",
                                  Bytes({0x3B, 0x00, 0xFF})};
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    std::string buffer = PseudoRandomBytes(200 + seed * 7, seed);
    const char alphabet[] = {0x00, 0x3B, static_cast<char>(0xFF), static_cast<char>(0xD9), 'T', 'A',
                             'G',  0x01, static_cast<char>(0xB7)};
    for (char& c : buffer) c = alphabet[static_cast<uint8_t>(c) % sizeof(alphabet)];
    for (const std::string& pattern : patterns) {
      size_t first = kNoMatch, last = kNoMatch;
      for (size_t at = 0; at + pattern.size() <= buffer.size(); ++at)
        if (buffer.compare(at, pattern.size(), pattern) == 0) {
          if (first == kNoMatch) first = at;
          last = at;
        }
      EXPECT_EQ(FindForward(U8(buffer), buffer.size(), pattern.data(), pattern.size()), first);
      EXPECT_EQ(FindBackward(U8(buffer), buffer.size(), pattern.data(), pattern.size()), last);
    }
  }
}

}  // namespace
}  // namespace salvora::test
