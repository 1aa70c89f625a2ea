// Where carved files end: hand-made disks for the exact edges of the size
// rules.
#include <gtest/gtest.h>

#include <cstring>

#include "carving/FileTypeCode.h"
#include "carving/MeasureRules.h"
#include "support/CarvingFixtures.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

TEST(JpegEnd, TailBeforeTheNextFileDecidesAlignment) {
  for (bool zeroTail : {true, false}) {
    SCOPED_TRACE(zeroTail);
    ImageBuilder image;
    std::string jpeg = JpegOf(3000);
    image.Place(jpeg + Filler(3072 - 3000, zeroTail ? '\0' : 'x'));
    image.Place(kPngSignature + Filler(600, 0x22) + kPngEnd);
    EXPECT_EQ(MeasureAt(image.bytes(), 0), zeroTail ? 3000u : 3072u);
  }
}

TEST(JpegEnd, MarkerOfTheNextFileInTheSameChunkDoesNotReplaceTheEnd) {
  ImageBuilder image;
  image.Place(JpegOf(1500));
  image.RandomSectors(3, 9);
  image.Place(JpegOf(2000));
  image.RandomSectors(3, 10);
  EXPECT_EQ(MeasureAt(image.bytes(), 0), 1500u);
}

TEST(PngEnd, EndChunkCountsOnlyWhenZerosFillItsSector) {
  ImageBuilder zeros;
  zeros.Place(kPngSignature + Filler(1020 - 8 - kPngSignature.size(), 0x22) + kPngEnd);
  zeros.RandomSectors(2, 3);
  EXPECT_EQ(MeasureAt(zeros.bytes(), 0), 1020u);

  ImageBuilder noise;
  std::string png = kPngSignature + Filler(1020 - 8 - kPngSignature.size(), 0x22) + kPngEnd;
  png += "abcd" + Filler(1536 - 8 - 1024, 0x33) + kPngEnd;
  noise.Place(png);
  noise.RandomSectors(2, 3);
  EXPECT_EQ(MeasureAt(noise.bytes(), 0), 1536u);
}

TEST(PictureEnd, SmallPicturesEndInsideTheirFirstSector) {
  ImageBuilder png;
  png.Place(kPngSignature + Filler(100, 0x22) + kPngEnd);
  png.ZeroSectors(300);
  EXPECT_EQ(MeasureAt(png.bytes(), 0), 116u);

  ImageBuilder gif;
  gif.Place("GIF89a" + Filler(200, 0x21) + Bytes({0x00, 0x3B}));
  gif.ZeroSectors(300);
  EXPECT_EQ(MeasureAt(gif.bytes(), 0), 208u);
}

TEST(HeaderRules, SizesAreCappedAndCountedFromTheHeader) {
  std::string bmp = "BM" + Le32Bytes(200u << 20) + Filler(8, 0) + Le32Bytes(40) + Filler(100, 0x44);
  EXPECT_EQ(MeasureAt(bmp, 0), 0x8000000u);

  std::string wav = "RIFF" + Le32Bytes(1000) + "WAVEfmt " + Filler(1100, 0x10);
  EXPECT_EQ(MeasureAt(wav, 0), 1008u);

  std::string cab = "MSCF" + Le32Bytes(0) + Le32Bytes(5000) + Filler(40, 0);
  EXPECT_EQ(MeasureAt(cab, 0), 5000u);
}

TEST(HeaderRules, AsfPropertiesStateTheSizeUnlessBroadcast) {
  const std::string header = Bytes({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9,
                                    0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
  const std::string properties = Bytes({0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4,
                                        0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
  for (uint32_t flags : {0u, 1u}) {
    std::string asf = header + Filler(14, 0) + Filler(10, 0x01) + properties + Filler(24, 0) +
                      Le32Bytes(777777) + Le32Bytes(0) + Filler(40, 0) + Le32Bytes(flags);
    EXPECT_EQ(MeasureAt(Padded(asf), 0), flags ? 512u : 777777u);
  }
}

// Stands for the file-system structures a driving scan would recognise.
bool IsMetaSector(const uint8_t* sector, uint32_t) { return std::memcmp(sector, "META", 4) == 0; }

TEST(StopSearch, ForeignStartsAndTheMetadataTestEndAScan) {
  ImageBuilder beforeMetadata;
  beforeMetadata.Place("II" + Bytes({0x2A, 0x00}) + Filler(4 * 512 - 4, 0x55));
  beforeMetadata.Place("META" + Filler(600, 0x01));
  EXPECT_EQ(MeasureAt(beforeMetadata.bytes(), 0, nullptr, IsMetaSector), 4u * 512);
  // Without a test from the driving scan, carving knows no metadata.
  EXPECT_EQ(MeasureAt(beforeMetadata.bytes(), 0), 6u * 512);

  // A DLL is never carved itself but still ends the file before it.
  std::string dll = "MZ" + Filler(58, 0) + Le32Bytes(128) + Filler(64, 0) + "PE" + Bytes({0, 0}) +
                    Filler(18, 0) + Bytes({0x02, 0x20}) + Filler(300, 0);
  dll.resize(512, '\0');
  ImageBuilder beforeDll;
  beforeDll.Place("II" + Bytes({0x2A, 0x00}) + Filler(3 * 512 - 4, 0x55));
  uint64_t dllSector = beforeDll.Place(dll);
  beforeDll.RandomSectors(2, 4);
  EXPECT_EQ(MeasureAt(beforeDll.bytes(), dllSector), kNoSize);
  EXPECT_EQ(MeasureAt(beforeDll.bytes(), 0), 3u * 512);
}

TEST(StopSearch, AFileRunningIntoTheEndOfTheDiskEndsThere) {
  ImageBuilder image;
  image.Place("II" + Bytes({0x2A, 0x00}) + Filler(200 * 512 - 4, 0x55));
  EXPECT_EQ(MeasureAt(image.bytes(), 0), 200u * 512);
}

TEST(ZipEnd, EndRecordInALaterChunkCountsPastAStop) {
  ImageBuilder image;
  image.Place("PK" + Bytes({3, 4}) + Filler(26, 0) + "data/one.bin" + Filler(130 * 512, 0x66));
  image.Place(kPngSignature + Filler(600, 0x22));  // a stored picture inside
  std::string tail = Filler(100, 0x67) + "PK" + Bytes({5, 6}) + Filler(18, 0);
  uint64_t tailSector = image.Place(tail);
  image.RandomSectors(4, 5);
  EXPECT_EQ(MeasureAt(image.bytes(), 0), tailSector * 512 + 100 + 22);
}

TEST(MpegEnd, OwnPackAndSequenceHeadersDoNotStopTheStream) {
  std::string pack = Bytes({0, 0, 1, 0xBA}) + Filler(10, 0x44) + Bytes({0, 0, 1, 0xBB});
  std::string sequence = Bytes({0, 0, 1, 0xB3}) + Filler(8, 0x44) + Bytes({0, 0, 1, 0xB8});
  ImageBuilder image;
  image.Place(pack + Filler(512 - pack.size(), 0x45));
  for (int i = 0; i < 6; ++i)
    image.Place((i % 2 ? sequence : pack) + Filler(512 - pack.size(), 0x45));
  image.Place(Filler(508, 0x46) + Bytes({0, 0, 1, 0xB9}));
  image.RandomSectors(3, 6);
  EXPECT_EQ(MeasureAt(image.bytes(), 0), 8u * 512);
}

std::string TransportPackets(size_t count) {
  std::string packets;
  for (size_t i = 0; i < count; ++i)
    packets += Bytes({0x47, 0x40, 0x11, 0x10}) + Filler(184, static_cast<char>(0x20 + i % 50));
  return packets;
}

TEST(TransportStreamEnd, GridBreakEndsTheStreamAndRecordsItsSectors) {
  ImageBuilder image;
  image.Place(TransportPackets(1000) + Filler(512, 0x01));
  image.RandomSectors(2, 7);
  ScopedDataDir data;
  CFileTypeRecovery engine;
  SectorSource& source = engine.Source();
  AttachBytes(source, image.bytes());
  ASSERT_EQ(engine.ReopenStore("File_Type_ts", 512), 0);
  uint64_t advance = 1, found = 0;
  ASSERT_EQ(engine.CarveAtSector(512, reinterpret_cast<const uint8_t*>(image.bytes().data()), 512,
                                 0, 0, 1, -1, source, advance, found),
            0);
  uint64_t sectors = (188000 + 511) / 512;
  EXPECT_EQ(advance, sectors);
  ASSERT_EQ(engine.Context().tsRanges.size(), 1u);
  EXPECT_EQ(engine.Context().tsRanges[0].first, 0u);
  EXPECT_EQ(engine.Context().tsRanges[0].last, sectors - 1);
  std::vector<FoundRecord> records;
  engine.ListFolder(nullptr, 0, records);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(+records[0].fileSize, 188000u);

  // A sector inside the carved stream that continues its packets is no new
  // stream.
  uint64_t inside = 47;  // 47 * 512 is a multiple of 188
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image.bytes().data()) + inside * 512;
  advance = 1;
  EXPECT_EQ(engine.CarveAtSector(512, bytes, 512, inside, 0, 1, -1, source, advance, found), 87);
}

TEST(Mp3End, TrailingTagClosesTheFile) {
  std::string mp3 = "ID3" + Bytes({3, 0, 0, 0, 0, 0, 10}) + Filler(2000, 0x55);
  mp3 += "TAG" + Filler(125, 0x20);
  ImageBuilder image;
  image.Place(mp3);
  image.RandomSectors(3, 8);
  EXPECT_EQ(MeasureAt(image.bytes(), 0), mp3.size());
}

TEST(MidiEnd, TracksAreCountedFromTheFirstSector) {
  std::string midi = "MThd" + Be32Bytes(6) + Bytes({0, 1, 0, 2, 0, 96});
  midi += "MTrk" + Be32Bytes(300) + Filler(300, 0x40);
  midi += "MTrk" + Be32Bytes(400) + Filler(400, 0x41);
  ImageBuilder image;
  image.Place(midi);
  image.RandomSectors(20, 11);
  EXPECT_EQ(MeasureAt(image.bytes(), 0), midi.size());
}

TEST(PdfEnd, EndMarkKeepsItsLineEnd) {
  for (const std::string& eol : {std::string("\n"), std::string("\r\n"), std::string()}) {
    std::string pdf = "%PDF-1.4\n" + Filler(700, 'q') + "\ntrailer\n<<>>\n%%EOF" + eol;
    ImageBuilder image;
    image.Place(pdf);
    image.RandomSectors(2, 12);
    EXPECT_EQ(MeasureAt(image.bytes(), 0), pdf.size());
  }
}

// A compound file of a header, one allocation-table sector and five more
// sectors: the table's trailing free entries give its end.
TEST(CompoundFileEnd, AllocationTableGivesTheSize) {
  std::string header = Bytes({0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1});
  header.resize(512, '\0');
  header[30] = 9;
  auto put32 = [&](std::string& s, size_t at, uint32_t v) { s.replace(at, 4, Le32Bytes(v)); };
  put32(header, 44, 1);           // one table sector
  put32(header, 48, 1);           // directory at sector 1
  put32(header, 68, 0xFFFFFFFE);  // no extension chain
  put32(header, 76, 0);           // the table is sector 0
  for (int i = 1; i < 109; ++i) put32(header, 76 + 4 * i, 0xFFFFFFFF);
  std::string table;
  for (int i = 0; i < 128; ++i) table += Le32Bytes(i < 6 ? 0xFFFFFFFE : 0xFFFFFFFF);
  ImageBuilder image;
  image.Place(header);
  image.Place(table);
  image.Place(Filler(4 * 512, 0x31));
  image.RandomSectors(8, 13);
  std::string name;
  EXPECT_EQ(MeasureAt(image.bytes(), 0, &name), 7u * 512);
  EXPECT_EQ(name, "0.ole");
}

}  // namespace
}  // namespace salvora::test
