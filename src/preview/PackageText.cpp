#include "preview/PackageText.h"

#include <vector>

#include "preview/CellGrid.h"
#include "preview/DocumentXmlText.h"
#include "preview/SheetXml.h"
#include "preview/StreamingXml.h"

namespace salvora::preview {
namespace {

constexpr size_t kMaxRelationshipBytes = 1 << 20;
constexpr size_t kMaxRelationships = 10000;

struct Relationship {
  QString id;
  QString type;
  QString target;
};

using Relationships = std::vector<Relationship>;

Relationships ReadRelationships(const ZipPackage& package, const std::string& relsPart) {
  std::string bytes = package.ReadSmall(relsPart, kMaxRelationshipBytes);
  MemoryChunkSource source(bytes);
  StreamingXml xml(source);
  Relationships found;
  while (found.size() < kMaxRelationships && xml.Next())
    if (xml.IsStart("Relationship")) found.push_back({xml.Attribute("Id"), xml.Attribute("Type"), xml.Attribute("Target")});
  return found;
}

std::string FolderOf(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// "xl/workbook.xml" → "xl/_rels/workbook.xml.rels"
std::string RelationshipsPartOf(const std::string& part) {
  return FolderOf(part) + "_rels/" + part.substr(FolderOf(part).size()) + ".rels";
}

// A relationship target is relative to the folder of the part that names it
// unless it starts with '/'; ".." steps never leave the package root.
std::string ResolveTarget(const std::string& part, const QString& target) {
  std::string path = target.toStdString();
  std::string joined = !path.empty() && path[0] == '/' ? path.substr(1) : FolderOf(part) + path;
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    std::string segment = joined.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string resolved;
  for (const std::string& segment : segments) resolved += (resolved.empty() ? "" : "/") + segment;
  return resolved;
}

std::string TargetWhere(const std::string& part, const Relationships& relationships,
                        bool (*matches)(const Relationship&, const QString&), const QString& wanted) {
  for (const Relationship& relationship : relationships)
    if (matches(relationship, wanted)) return ResolveTarget(part, relationship.target);
  return {};
}

bool TypeEndsWith(const Relationship& relationship, const QString& suffix) { return relationship.type.endsWith(suffix); }
bool IdIs(const Relationship& relationship, const QString& id) { return relationship.id == id; }

// The r:id attributes of the elements `element` of a part, in document order.
std::vector<QString> ReferencedIds(const ZipPackage& package, const std::string& part, const char* element,
                                   size_t maxCount) {
  ZipPackage::Member member = package.Open(part);
  StreamingXml xml(member);
  std::vector<QString> ids;
  while (ids.size() < maxCount && xml.Next())
    if (xml.IsStart(element)) ids.push_back(xml.PrefixedAttribute("id"));
  return ids;
}

HelperResult Finish(const QString& text) {
  if (text.trimmed().isEmpty()) return HelperResult::Failure("the document holds no readable text");
  return HelperResult::Success(text.toStdString());
}

HelperResult OoxmlWordText(const ZipPackage& package, const std::string& documentPart) {
  TextCollector out(kWordTextChars);
  ZipPackage::Member document = package.Open(documentPart);
  AppendOoxmlText(document, out);
  return Finish(out.text());
}

HelperResult OoxmlSheetText(const ZipPackage& package, const std::string& workbookPart) {
  Relationships relationships = ReadRelationships(package, RelationshipsPartOf(workbookPart));
  std::vector<QString> sheetIds = ReferencedIds(package, workbookPart, "sheet", 1);
  std::string worksheetPart =
      sheetIds.empty() ? std::string() : TargetWhere(workbookPart, relationships, IdIs, sheetIds.front());
  if (worksheetPart.empty()) worksheetPart = "xl/worksheets/sheet1.xml";
  ZipPackage::Member worksheet = package.Open(worksheetPart);
  XlsxCorner corner = ReadXlsxWorksheet(worksheet);
  std::string stringsPart = TargetWhere(workbookPart, relationships, TypeEndsWith, "/sharedStrings");
  if (!stringsPart.empty()) {
    ZipPackage::Member strings = package.Open(stringsPart);
    ResolveSharedStrings(strings, corner);
  }
  return Finish(corner.grid.Format());
}

HelperResult OoxmlSlidesText(const ZipPackage& package, const std::string& presentationPart) {
  Relationships relationships = ReadRelationships(package, RelationshipsPartOf(presentationPart));
  std::vector<std::string> slideParts;
  for (const QString& id : ReferencedIds(package, presentationPart, "sldId", kSlideCount))
    if (std::string part = TargetWhere(presentationPart, relationships, IdIs, id); !part.empty())
      slideParts.push_back(part);
  TextCollector out(kSlideTextChars);
  for (const std::string& part : slideParts) {
    ZipPackage::Member slide = package.Open(part);
    AppendOoxmlText(slide, out);
  }
  return Finish(out.text());
}

HelperResult OdfText(const ZipPackage& package, DocumentKind kind) {
  ZipPackage::Member content = package.Open("content.xml");
  if (kind == DocumentKind::kSheet) return Finish(ReadOdsTable(content).Format());
  bool slides = kind == DocumentKind::kSlides;
  TextCollector out(slides ? kSlideTextChars : kWordTextChars);
  AppendOdfText(content, out, slides ? kSlideCount : 0);
  return Finish(out.text());
}

DocumentKind KindOfOdfMimeType(const std::string& mimeType, DocumentKind expected) {
  if (mimeType.find("opendocument.text") != std::string::npos) return DocumentKind::kWord;
  if (mimeType.find("opendocument.spreadsheet") != std::string::npos) return DocumentKind::kSheet;
  if (mimeType.find("opendocument.presentation") != std::string::npos) return DocumentKind::kSlides;
  return expected;
}

}  // namespace

HelperResult PackageText(const ZipPackage& package, DocumentKind expected) {
  if (package.Has("content.xml"))
    return OdfText(package, KindOfOdfMimeType(package.ReadSmall("mimetype", 256), expected));
  std::string mainPart =
      TargetWhere({}, ReadRelationships(package, "_rels/.rels"), TypeEndsWith, "/officeDocument");
  if (mainPart.empty()) return HelperResult::Failure("not an office document");
  std::string mainName = mainPart.substr(FolderOf(mainPart).size());
  if (mainName.rfind("workbook", 0) == 0) return OoxmlSheetText(package, mainPart);
  if (mainName.rfind("presentation", 0) == 0) return OoxmlSlidesText(package, mainPart);
  return OoxmlWordText(package, mainPart);
}

}  // namespace salvora::preview
