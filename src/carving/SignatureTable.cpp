#include "carving/SignatureTable.h"

#include <array>
#include <cctype>
#include <string>
#include <unordered_map>
#include <vector>

#include "carving/ByteOrder.h"
#include "carving/FileTypeCode.h"
#include "carving/MeasureRules.h"
#include "carving/StructureWalks.h"

namespace salvora {

// Rules that walk a format's structure first and fall back to the table's
// own rule when the structure does not hold together. A walk may reach as
// far as its format's own size fields can say (pictures and office
// packages hold 32-bit offsets); only the fallback keeps the table's cap.
constexpr MeasureFn kMpegSize = MeasureWalked<WalkMpegPacks, k6GiB, MeasureMpeg>;
constexpr MeasureFn kMp4Size = MeasureWalked<WalkIsoBoxes, k6GiB, MeasureMp4>;
constexpr MeasureFn kMovieBoxSize = MeasureWalked<WalkIsoBoxes, k6GiB, MeasureScan<k6GiB>>;
constexpr MeasureFn kFlvSize = MeasureWalked<WalkFlv, k6GiB, MeasureScan<k6GiB>>;
constexpr MeasureFn kMatroskaSize = MeasureWalked<WalkMatroska, k64GiB, MeasureScan<k64GiB>>;
constexpr MeasureFn kMp3Size = MeasureWalked<WalkMp3, k2GiB, MeasureMp3>;
constexpr MeasureFn kGifSize = MeasureWalked<WalkGif, k4GiB, MeasureGif>;
constexpr MeasureFn kBitmapSize = MeasureWalked<WalkBitmap, k4GiB, MeasureBitmap>;
constexpr MeasureFn kJpegSize = MeasureWalked<WalkJpeg, k4GiB, MeasureJpeg>;
constexpr MeasureFn kPngSize = MeasureWalked<WalkPng, k4GiB, MeasurePng>;
constexpr MeasureFn kPhotoshopSize = MeasureWalked<WalkPhotoshop, k4GiB, MeasureScan<k128MiB>>;
constexpr MeasureFn kTiffSize = MeasureWalked<WalkTiff, k4GiB, MeasureScan<k128MiB>>;
constexpr MeasureFn kGzipSize = MeasureWalked<WalkGzip, k6GiB, MeasureScan<k6GiB>>;
constexpr MeasureFn kSqliteSize = MeasureWalked<WalkSqlite, k4GiB, MeasureScan<k4GiB>>;
constexpr MeasureFn kOggSize = MeasureWalked<WalkOgg, k2GiB, MeasureScan<k2GiB>>;
constexpr MeasureFn kXzSize = MeasureWalked<WalkXz, k4GiB, MeasureScan<k4GiB>>;
constexpr MeasureFn kBzip2Size = MeasureWalked<WalkBzip2, k4GiB, MeasureScan<k4GiB>>;
constexpr MeasureFn kZipSize = MeasureWalked<WalkZip, k4GiB, MeasureZip>;
constexpr MeasureFn kOoxmlSize = MeasureWalked<WalkZip, k4GiB, MeasureOoxml>;
constexpr MeasureFn kIsoImageSize = MeasureWalked<WalkIsoImage, k4GiB, MeasureScan<k128MiB>>;
constexpr MeasureFn kRawSize = MeasureWalked<WalkTiff, k4GiB, MeasureScan<k128MiB>>;
constexpr MeasureFn kWebpSize = MeasureWalked<WalkWebp, k4GiB, MeasureScan<k128MiB>>;
constexpr MeasureFn kFlacSize = MeasureWalked<WalkFlac, k4GiB, MeasureScan<k2GiB>>;
constexpr MeasureFn kRar5Size = MeasureWalked<WalkRar5, k64GiB, MeasureScan<k4GiB>>;
constexpr MeasureFn kMp3FramesSize = MeasureWalked<WalkMp3Frames, k2GiB, MeasureMp3>;

// Order matters: formats that share a signature are told apart by which row
// comes first, and a type code takes the extension of its first row.
const SignatureRow kSignatureTable[kSignatureRowCount + 1] = {
    {"mpeg", 15, DetectMpegStream, kMpegSize},
    {"mpg", 15, DetectMpegStream, kMpegSize},
    {"vob", 15, DetectMpegStream, kMpegSize},
    {"mp4", 18, DetectMp4, kMp4Size},
    {"rmvb", 23, DetectRealMedia, MeasureRealMedia},
    {"rm", 23, DetectRealMedia, MeasureRealMedia},
    {"wmv", 24, DetectAsf, MeasureAsf},
    {"asf", 24, DetectAsf, MeasureAsf},
    {"wma", 24, DetectAsf, MeasureAsf},
    {"swf", 26, DetectFlash, MeasureFlash},
    {"avi", 22, DetectAvi, MeasureRiff},
    {"flv", 27, DetectFlv, kFlvSize},
    {"3gp", 16, Detect3gpp, kMovieBoxSize},
    {"mkv", 19, DetectMatroska, kMatroskaSize},
    {"ts", 20, DetectTransportStream, MeasureTransportStream},
    {"mts", 47, DetectM2ts, MeasureScan<k6GiB>},
    {"mxf", 48, DetectMxf, MeasureScan<k6GiB>},
    {"mp3", 12, DetectId3, kMp3Size},
    {"mid", 13, DetectMidi, MeasureMidi},
    {"ape", 25, DetectApe, MeasureApe},
    {"wav", 21, DetectWave, MeasureWave},
    {"mov", 17, DetectQuickTime, kMovieBoxSize},
    {"mp2", 11, DetectMpegAudio, MeasureScan<k512MiB>},
    {"mmf", 14, DetectMmf, MeasureScan<k512MiB>},
    {"gif", 31, DetectGif, kGifSize},
    {"bmp", 29, DetectBitmap, kBitmapSize},
    {"dib", 29, DetectBitmap, kBitmapSize},
    {"jpg", 10, DetectJpeg, kJpegSize},
    {"jpeg", 10, DetectJpeg, kJpegSize},
    {"jpe", 10, DetectJpeg, kJpegSize},
    {"jfif", 10, DetectJpeg, kJpegSize},
    {"png", 30, DetectPng, kPngSize},
    {"psd", 28, DetectPhotoshop, kPhotoshopSize},
    {"tif", 32, DetectTiff, kTiffSize},
    {"tiff", 32, DetectTiff, kTiffSize},
    {"ico", 46, DetectIcon, MeasureIcon},
    {"doc", 0, DetectCompoundDocument, MeasureCompoundFile},
    {"dot", 0, DetectCompoundDocument, MeasureCompoundFile},
    {"wps", 0, DetectCompoundDocument, MeasureCompoundFile},
    {"wpt", 0, DetectCompoundDocument, MeasureCompoundFile},
    {"xls", 3, DetectCompoundDocument, MeasureCompoundFile},
    {"xlt", 3, DetectCompoundDocument, MeasureCompoundFile},
    {"xla", 3, DetectCompoundDocument, MeasureCompoundFile},
    {"et", 3, DetectCompoundDocument, MeasureCompoundFile},
    {"ett", 3, DetectCompoundDocument, MeasureCompoundFile},
    {"ppt", 5, DetectCompoundDocument, MeasureCompoundFile},
    {"pot", 5, DetectCompoundDocument, MeasureCompoundFile},
    {"pps", 5, DetectCompoundDocument, MeasureCompoundFile},
    {"dps", 5, DetectCompoundDocument, MeasureCompoundFile},
    {"dpt", 5, DetectCompoundDocument, MeasureCompoundFile},
    {"ole", 2, DetectCompoundDocument, MeasureCompoundFile},
    {"docx", 1, DetectOoxml, kOoxmlSize},
    {"docm", 1, DetectOoxml, kOoxmlSize},
    {"dotm", 1, DetectOoxml, kOoxmlSize},
    {"dotx", 1, DetectOoxml, kOoxmlSize},
    {"xlsx", 4, DetectOoxml, kOoxmlSize},
    {"xlsb", 4, DetectOoxml, kOoxmlSize},
    {"xlsm", 4, DetectOoxml, kOoxmlSize},
    {"xlsx", 4, DetectOoxml, kOoxmlSize},
    {"xlam", 4, DetectOoxml, kOoxmlSize},
    {"xltx", 4, DetectOoxml, kOoxmlSize},
    {"xltm", 4, DetectOoxml, kOoxmlSize},
    {"pptx", 6, DetectOoxml, kOoxmlSize},
    {"pptm", 6, DetectOoxml, kOoxmlSize},
    {"potx", 6, DetectOoxml, kOoxmlSize},
    {"potm", 6, DetectOoxml, kOoxmlSize},
    {"ppsx", 6, DetectOoxml, kOoxmlSize},
    {"ppsm", 6, DetectOoxml, kOoxmlSize},
    {"mso07", 7, DetectOoxml, kOoxmlSize},
    {"pdf", 8, DetectPdf, MeasurePdf},
    {"gz", 36, DetectGzip, kGzipSize},
    {"gzip", 36, DetectGzip, kGzipSize},
    {"7z", 34, Detect7z, Measure7z},
    {"zip", 35, DetectZip, kZipSize},
    {"rar", 37, DetectRar, MeasureRar},
    {"cab", 33, DetectCabinet, MeasureCabinet},
    {"exe", 41, DetectPeImage, nullptr},
    {"dll", 42, DetectPeImage, nullptr},
    {"sys", 43, DetectPeImage, nullptr},
    {"gho", 9, DetectDiskImage, nullptr},
    {"db", 39, DetectSqlite, kSqliteSize},
    {"dbx", 40, DetectMailDatabase, MeasureScan<k2GiB>},
    {"pst", 38, DetectPersonalFolders, MeasureScan<k2GiB>},
    {"fla", 44, DetectCompoundMagic, MeasureScan<k512MiB>},
    {"ttf", 45, DetectTrueType, MeasureFont},
    {"ico", 46, DetectIcon, MeasureIcon},
    {"jpg", 10, DetectJpegOther, kJpegSize},
    {"ogg", 50, DetectOgg, kOggSize},
    {"xz", 51, DetectXz, kXzSize},
    {"bz2", 52, DetectBzip2, kBzip2Size},
    {"m4a", 53, DetectM4a, kMp4Size},
    {"heic", kTypeHeic, DetectIsoBrand, kIsoImageSize},
    {"avif", kTypeAvif, DetectIsoBrand, kIsoImageSize},
    {"cr3", kTypeCr3, DetectIsoBrand, kMovieBoxSize},
    {"m4v", kTypeM4v, DetectIsoBrand, kMp4Size},
    {"mp4", kTypeMp4, DetectIsoBrand, kMp4Size},
    {"cr2", kTypeCr2, DetectTiff, kRawSize},
    {"nef", kTypeNef, DetectTiff, kRawSize},
    {"arw", kTypeArw, DetectTiff, kRawSize},
    {"dng", kTypeDng, DetectTiff, kRawSize},
    {"orf", kTypeOrf, DetectOrf, kRawSize},
    {"webp", kTypeWebp, DetectWebp, kWebpSize},
    {"flac", kTypeFlac, DetectFlac, kFlacSize},
    {"opus", kTypeOpus, DetectOgg, kOggSize},
    {"rar", kTypeRar5, DetectRar5, kRar5Size},
    {"mp3", kTypeMp3Frames, DetectMp3Frames, kMp3FramesSize},
    {nullptr, kTypeNone, nullptr, nullptr},
};

namespace {

// Cheap facts about a sector that let most detectors be skipped: its first
// byte, and three words further in that formats without a fixed first byte
// must carry.
enum Gate : unsigned { kFtypAt4 = 1, kPatAt8 = 2, kContentTypesAt31 = 4, kGateCombinations = 8 };

// Which sectors a detector can recognise: those starting with one of its
// first bytes, or carrying one of its gate words.
struct DetectorStart {
  DetectFn detect;
  std::vector<uint8_t> firstBytes;
  unsigned gates;
};

const DetectorStart kDetectorStarts[] = {
    {DetectMpegStream, {0x00}, 0},
    {DetectMp4, {}, kFtypAt4},
    {DetectRealMedia, {'.'}, 0},
    {DetectAsf, {0x30}, 0},
    {DetectFlash, {'C', 'F'}, 0},
    {DetectAvi, {'R'}, 0},
    {DetectFlv, {'F'}, 0},
    {Detect3gpp, {}, kFtypAt4},
    {DetectMatroska, {0x1A}, 0},
    {DetectTransportStream, {0x47}, 0},
    {DetectM2ts, {}, kPatAt8},
    {DetectMxf, {0x06}, 0},
    {DetectId3, {'I'}, 0},
    {DetectMidi, {'M'}, 0},
    {DetectApe, {'M'}, 0},
    {DetectWave, {'R'}, 0},
    {DetectQuickTime, {'m'}, kFtypAt4},
    {DetectMpegAudio, {0xFF}, 0},
    {DetectMmf, {'M'}, 0},
    {DetectGif, {'G'}, 0},
    {DetectBitmap, {'B'}, 0},
    {DetectJpeg, {0xFF}, 0},
    {DetectPng, {0x89}, 0},
    {DetectPhotoshop, {'8'}, 0},
    {DetectTiff, {'M', 'I'}, 0},
    {DetectIcon, {0x00}, 0},
    {DetectCompoundDocument, {0xD0}, 0},
    {DetectOoxml, {'P'}, kContentTypesAt31},
    {DetectPdf, {'%'}, 0},
    {DetectGzip, {0x1F}, 0},
    {Detect7z, {0x37}, 0},
    {DetectZip, {'P'}, 0},
    {DetectRar, {'R'}, 0},
    {DetectCabinet, {'M'}, 0},
    {DetectPeImage, {'M'}, 0},
    {DetectDiskImage, {0xFE}, 0},
    {DetectSqlite, {'S'}, 0},
    {DetectMailDatabase, {0xCF}, 0},
    {DetectPersonalFolders, {'!'}, 0},
    {DetectCompoundMagic, {0xD0}, 0},
    {DetectTrueType, {0x00}, 0},
    {DetectJpegOther, {0xFF}, 0},
    {DetectOgg, {'O'}, 0},
    {DetectXz, {0xFD}, 0},
    {DetectBzip2, {'B'}, 0},
    {DetectM4a, {}, kFtypAt4},
    {DetectIsoBrand, {}, kFtypAt4},
    {DetectOrf, {'I', 'M'}, 0},
    {DetectWebp, {'R'}, 0},
    {DetectFlac, {'f'}, 0},
    {DetectRar5, {'R'}, 0},
    {DetectMp3Frames, {0xFF}, 0},
};

bool CanMatch(DetectFn detect, uint8_t first, unsigned gates) {
  for (const DetectorStart& start : kDetectorStarts) {
    if (start.detect != detect) continue;
    if (start.gates & gates) return true;
    for (uint8_t b : start.firstBytes)
      if (b == first) return true;
    return false;
  }
  return true;  // a detector without a known start is always asked
}

// For every first byte and gate combination, the distinct detectors that
// can match, in the order of their first row. A detector that declined once
// declines again, so asking each one once gives the table's answer.
using DetectorList = std::vector<DetectFn>;
using DispatchIndex = std::vector<DetectorList>;

DispatchIndex BuildDispatchIndex() {
  DispatchIndex index(256 * kGateCombinations);
  for (unsigned gates = 0; gates < kGateCombinations; ++gates) {
    for (unsigned first = 0; first < 256; ++first) {
      DetectorList& list = index[gates * 256 + first];
      for (size_t row = 0; row < kSignatureRowCount; ++row) {
        DetectFn detect = kSignatureTable[row].detect;
        bool listed = false;
        for (DetectFn known : list) listed = listed || known == detect;
        if (!listed && CanMatch(detect, static_cast<uint8_t>(first), gates)) list.push_back(detect);
      }
    }
  }
  return index;
}

const DispatchIndex& Dispatch() {
  static const DispatchIndex index = BuildDispatchIndex();
  return index;
}

unsigned GatesOf(const uint8_t* bytes, uint32_t count) {
  static const uint32_t kFtyp = Le32(reinterpret_cast<const uint8_t*>("ftyp"));
  static const uint32_t kPat = Le32(reinterpret_cast<const uint8_t*>("\0\0\xB0\x11"));
  static const uint32_t kContent = Le32(reinterpret_cast<const uint8_t*>("[Con"));
  unsigned gates = 0;
  if (count >= 8 && Le32(bytes + 4) == kFtyp) gates |= kFtypAt4;
  if (count >= 12 && Le32(bytes + 8) == kPat) gates |= kPatAt8;
  if (count >= 35 && Le32(bytes + 31) == kContent) gates |= kContentTypesAt31;
  return gates;
}

const DetectorList& DetectorsFor(const uint8_t* bytes, uint32_t count) {
  return Dispatch()[GatesOf(bytes, count) * 256 + bytes[0]];
}

}  // namespace

bool MayIdentifySector(const uint8_t* bytes, uint32_t count) {
  return bytes && count > 0 && !DetectorsFor(bytes, count).empty();
}

int IdentifySector(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count == 0) return kTypeNone;
  for (DetectFn detect : DetectorsFor(bytes, count)) {
    int answer = detect(context, bytes, count);
    if (answer != kTypeNone) return answer;
  }
  return kTypeNone;
}

int IdentifySectorByTable(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  for (size_t row = 0; kSignatureTable[row].detect; ++row) {
    int answer = kSignatureTable[row].detect(context, bytes, count);
    if (answer != kTypeNone) return answer;
  }
  return kTypeNone;
}

const SignatureRow* FirstRowOfType(int type) {
  for (size_t row = 0; kSignatureTable[row].extension; ++row)
    if (kSignatureTable[row].type == type) return &kSignatureTable[row];
  return nullptr;
}

namespace {

std::string Lowered(const char* text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The first row of each extension, by its lower-case spelling: the content
// checks of quick scans ask once for every file they find.
using ExtensionIndex = std::unordered_map<std::string, const SignatureRow*>;

const ExtensionIndex& RowsByExtension() {
  static const ExtensionIndex index = [] {
    ExtensionIndex rows;
    for (size_t row = 0; kSignatureTable[row].extension; ++row)
      rows.emplace(Lowered(kSignatureTable[row].extension), &kSignatureTable[row]);
    return rows;
  }();
  return index;
}

}  // namespace

const SignatureRow* FirstRowOfExtension(const char* extension) {
  if (!extension) return nullptr;
  auto found = RowsByExtension().find(Lowered(extension));
  return found == RowsByExtension().end() ? nullptr : found->second;
}

}  // namespace salvora
