#include "carving/SignatureTable.h"

#include <strings.h>

#include <array>
#include <vector>

#include "carving/FileTypeCode.h"
#include "carving/MeasureRules.h"

namespace salvora {

// Order matters: formats that share a signature are told apart by which row
// comes first, and a type code takes the extension of its first row.
const SignatureRow kSignatureTable[kSignatureRowCount + 1] = {
    {"mpeg", 15, DetectMpegStream, MeasureMpeg},
    {"mpg", 15, DetectMpegStream, MeasureMpeg},
    {"vob", 15, DetectMpegStream, MeasureMpeg},
    {"mp4", 18, DetectMp4, MeasureMp4},
    {"rmvb", 23, DetectRealMedia, MeasureRealMedia},
    {"rm", 23, DetectRealMedia, MeasureRealMedia},
    {"wmv", 24, DetectAsf, MeasureAsf},
    {"asf", 24, DetectAsf, MeasureAsf},
    {"wma", 24, DetectAsf, MeasureAsf},
    {"swf", 26, DetectFlash, MeasureFlash},
    {"avi", 22, DetectAvi, MeasureRiff},
    {"flv", 27, DetectFlv, MeasureScan6GiB},
    {"3gp", 16, Detect3gpp, MeasureScan6GiB},
    {"mkv", 19, DetectMatroska, MeasureScan64GiB},
    {"ts", 20, DetectTransportStream, MeasureTransportStream},
    {"mts", 47, DetectM2ts, MeasureScan6GiB},
    {"mxf", 48, DetectMxf, MeasureScan6GiB},
    {"mp3", 12, DetectId3, MeasureMp3},
    {"mid", 13, DetectMidi, MeasureMidi},
    {"ape", 25, DetectApe, MeasureApe},
    {"wav", 21, DetectWave, MeasureRiff},
    {"mov", 17, DetectQuickTime, MeasureScan6GiB},
    {"mp2", 11, DetectMpegAudio, MeasureScan512MiB},
    {"mmf", 14, DetectMmf, MeasureScan512MiB},
    {"gif", 31, DetectGif, MeasureGif},
    {"bmp", 29, DetectBitmap, MeasureBitmap},
    {"dib", 29, DetectBitmap, MeasureBitmap},
    {"jpg", 10, DetectJpeg, MeasureJpeg},
    {"jpeg", 10, DetectJpeg, MeasureJpeg},
    {"jpe", 10, DetectJpeg, MeasureJpeg},
    {"jfif", 10, DetectJpeg, MeasureJpeg},
    {"png", 30, DetectPng, MeasurePng},
    {"psd", 28, DetectPhotoshop, MeasureScan128MiB},
    {"tif", 32, DetectTiff, MeasureScan128MiB},
    {"tiff", 32, DetectTiff, MeasureScan128MiB},
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
    {"docx", 1, DetectOoxml, MeasureOoxml},
    {"docm", 1, DetectOoxml, MeasureOoxml},
    {"dotm", 1, DetectOoxml, MeasureOoxml},
    {"dotx", 1, DetectOoxml, MeasureOoxml},
    {"xlsx", 4, DetectOoxml, MeasureOoxml},
    {"xlsb", 4, DetectOoxml, MeasureOoxml},
    {"xlsm", 4, DetectOoxml, MeasureOoxml},
    {"xlsx", 4, DetectOoxml, MeasureOoxml},
    {"xlam", 4, DetectOoxml, MeasureOoxml},
    {"xltx", 4, DetectOoxml, MeasureOoxml},
    {"xltm", 4, DetectOoxml, MeasureOoxml},
    {"pptx", 6, DetectOoxml, MeasureOoxml},
    {"pptm", 6, DetectOoxml, MeasureOoxml},
    {"potx", 6, DetectOoxml, MeasureOoxml},
    {"potm", 6, DetectOoxml, MeasureOoxml},
    {"ppsx", 6, DetectOoxml, MeasureOoxml},
    {"ppsm", 6, DetectOoxml, MeasureOoxml},
    {"mso07", 7, DetectOoxml, MeasureOoxml},
    {"pdf", 8, DetectPdf, MeasurePdf},
    {"gz", 36, DetectGzip, MeasureScan6GiB},
    {"gzip", 36, DetectGzip, MeasureScan6GiB},
    {"7z", 34, Detect7z, Measure7z},
    {"zip", 35, DetectZip, MeasureZip},
    {"rar", 37, DetectRar, MeasureRar},
    {"cab", 33, DetectCabinet, MeasureCabinet},
    {"exe", 41, DetectPeImage, nullptr},
    {"dll", 42, DetectPeImage, nullptr},
    {"sys", 43, DetectPeImage, nullptr},
    {"gho", 9, DetectDiskImage, nullptr},
    {"db", 39, DetectSqlite, MeasureScan4GiB},
    {"dbx", 40, DetectMailDatabase, MeasureScan2GiB},
    {"pst", 38, DetectPersonalFolders, MeasureScan2GiB},
    {"fla", 44, DetectCompoundMagic, MeasureScan512MiB},
    {"ttf", 45, DetectTrueType, MeasureFont},
    {"ico", 46, DetectIcon, MeasureIcon},
    {nullptr, kTypeNone, nullptr, nullptr},
};

namespace {

// The first bytes a detector can accept; an empty list means any byte (the
// signature lies further in).
struct DetectorStart {
  DetectFn detect;
  std::vector<uint8_t> firstBytes;
};

const DetectorStart kDetectorStarts[] = {
    {DetectMpegStream, {0x00}},
    {DetectMp4, {}},
    {DetectRealMedia, {'.'}},
    {DetectAsf, {0x30}},
    {DetectFlash, {'C', 'F'}},
    {DetectAvi, {'R'}},
    {DetectFlv, {'F'}},
    {Detect3gpp, {}},
    {DetectMatroska, {0x1A}},
    {DetectTransportStream, {0x47}},
    {DetectM2ts, {}},
    {DetectMxf, {0x06}},
    {DetectId3, {'I'}},
    {DetectMidi, {'M'}},
    {DetectApe, {'M'}},
    {DetectWave, {'R'}},
    {DetectQuickTime, {}},
    {DetectMpegAudio, {0xFF}},
    {DetectMmf, {'M'}},
    {DetectGif, {'G'}},
    {DetectBitmap, {'B'}},
    {DetectJpeg, {0xFF}},
    {DetectPng, {0x89}},
    {DetectPhotoshop, {'8'}},
    {DetectTiff, {'M', 'I'}},
    {DetectIcon, {0x00}},
    {DetectCompoundDocument, {0xD0}},
    {DetectOoxml, {}},
    {DetectPdf, {'%'}},
    {DetectGzip, {0x1F}},
    {Detect7z, {0x37}},
    {DetectZip, {'P'}},
    {DetectRar, {'R'}},
    {DetectCabinet, {'M'}},
    {DetectPeImage, {'M'}},
    {DetectDiskImage, {0xFE}},
    {DetectSqlite, {'S'}},
    {DetectMailDatabase, {0xCF}},
    {DetectPersonalFolders, {'!'}},
    {DetectCompoundMagic, {0xD0}},
    {DetectTrueType, {0x00}},
};

bool CanStartWith(DetectFn detect, uint8_t first) {
  for (const DetectorStart& start : kDetectorStarts) {
    if (start.detect != detect) continue;
    if (start.firstBytes.empty()) return true;
    for (uint8_t b : start.firstBytes)
      if (b == first) return true;
    return false;
  }
  return true;  // a detector without a known start is always asked
}

// For every first byte, the distinct detectors that can match it, in the
// order of their first row. A detector that declined once declines again,
// so asking each one once gives the table's answer.
using DispatchIndex = std::array<std::vector<DetectFn>, 256>;

DispatchIndex BuildDispatchIndex() {
  DispatchIndex index;
  for (int first = 0; first < 256; ++first) {
    std::vector<DetectFn>& list = index[first];
    for (size_t row = 0; row < kSignatureRowCount; ++row) {
      DetectFn detect = kSignatureTable[row].detect;
      bool listed = false;
      for (DetectFn known : list) listed = listed || known == detect;
      if (!listed && CanStartWith(detect, static_cast<uint8_t>(first))) list.push_back(detect);
    }
  }
  return index;
}

const DispatchIndex& Dispatch() {
  static const DispatchIndex index = BuildDispatchIndex();
  return index;
}

}  // namespace

int IdentifySector(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count == 0) return kTypeNone;
  for (DetectFn detect : Dispatch()[bytes[0]]) {
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

const SignatureRow* FirstRowOfExtension(const char* extension) {
  if (!extension) return nullptr;
  for (size_t row = 0; kSignatureTable[row].extension; ++row)
    if (strcasecmp(kSignatureTable[row].extension, extension) == 0) return &kSignatureTable[row];
  return nullptr;
}

}  // namespace salvora
