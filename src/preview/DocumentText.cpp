#include "preview/DocumentText.h"

#include <algorithm>
#include <cstdint>
#include <fstream>

#include "preview/CsvCells.h"
#include "preview/DocumentKind.h"
#include "preview/LegacyOffice.h"
#include "preview/PackageText.h"
#include "preview/SlideText.h"
#include "preview/TextSanitizer.h"

namespace salvora::preview {
namespace {

// Delimited text is read this far; the first 10 rows lie well inside.
constexpr size_t kMaxCsvBytes = 4 << 20;
// Presentations are read whole up to this size; the slides' text lies in
// the first part of larger files, before embedded media.
constexpr size_t kMaxPresentationBytes = size_t{128} << 20;

enum class Storage { kZipPackage, kLegacyBinary, kRtf, kOther };

Storage StorageOf(const std::string& head) {
  if (head.rfind("PK\x03\x04", 0) == 0) return Storage::kZipPackage;
  if (head.rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0) return Storage::kLegacyBinary;
  if (head.rfind("{\\rtf", 0) == 0) return Storage::kRtf;
  return Storage::kOther;
}

std::string ReadHead(const std::string& path, size_t maxBytes, bool* readable) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  *readable = static_cast<bool>(file);
  std::streamoff fileBytes = *readable ? static_cast<std::streamoff>(file.tellg()) : 0;
  file.seekg(0);
  std::string bytes(std::min<uint64_t>(maxBytes, fileBytes > 0 ? fileBytes : 0), '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(file.gcount()));
  return bytes;
}

// Presentations are read here: catppt misses the text of files that other
// programs than PowerPoint write. The converters read the rest.
HelperResult LegacyBinaryText(const std::string& path, DocumentKind kind) {
  if (kind != DocumentKind::kSlides) return LegacyOfficeText(path, kind);
  bool readable = false;
  HelperResult slides = PresentationText(ReadHead(path, kMaxPresentationBytes, &readable));
  return slides.ok ? slides : LegacyOfficeText(path, kind);
}

// Documents are at most a few thousand characters of text here; the bound
// only guards the output channel.
constexpr size_t kMaxTextBytes = 1 << 20;

HelperResult ExtractText(const std::string& path) {
  DocumentKind kind = KindOfFileName(path);
  if (kind == DocumentKind::kUnknown)
    return HelperResult::Failure("not a document type this program reads");
  bool readable = false;
  std::string head = ReadHead(path, kind == DocumentKind::kSheet ? kMaxCsvBytes : 8, &readable);
  if (!readable) return HelperResult::Failure("cannot open " + path);
  switch (StorageOf(head)) {
    case Storage::kZipPackage:
      return PackageText(ZipPackage(ArchiveSource::File(path)), kind);
    case Storage::kLegacyBinary:
      return LegacyBinaryText(path, kind);
    case Storage::kRtf:
      return LegacyOfficeText(path, DocumentKind::kWord);
    case Storage::kOther:
      break;
  }
  if (kind != DocumentKind::kSheet)
    return HelperResult::Failure("not a document this program reads");
  QString text = ReadCsvCells(head).Format();
  if (text.trimmed().isEmpty()) return HelperResult::Failure("the document holds no readable text");
  return HelperResult::Success(text.toStdString());
}

}  // namespace

HelperResult ExtractDocumentText(const std::string& path) {
  HelperResult result = ExtractText(path);
  if (result.ok) result.text = SanitizeText(result.text, kMaxTextBytes);
  return result;
}

}  // namespace salvora::preview
