#include "results/TypeGroups.h"

#include <cctype>

namespace salvora {

const char kImageGroup[] =
    "*.bmp|*.gif|*.jpg|*.jpeg|*.png|*.psd|*.tif|*.tiff|*.pcx|*.scr|*.ico|*.nef|*.nrw|*.crw|"
    "*.cr2|*.sr2|*.arw|*.srf|*.djvu|*.pgm|*.k25|*.kdc|*.dcr|*.raf|*.iff|*.pbm|*.mef|*.jp2|"
    "*.mos|*.x3f|*.orf|*.erf|*.indd|*.pef|*.psp|*.mrw|*.dng|*.raw|*.pct|*.tga|*.thm|*.heic|"
    "*.heif|*.avif|*.webp|*.cr3";
const char kAudioGroup[] =
    "*.mp3|*.wav|*.ape|*.aiff|*.rps|*.mid|*.midi|*.m4a|*.m4p|*.au|*.ogg|*.wma|*.rm|*.ra|"
    "*.acd|*.amr|*.at3|*.caf|*.dss|*.m4r|*.nra|*.snd|*.flac|*.opus";
const char kDocumentGroup[] =
    "*.doc|*.xls|*.ppt|*.odt|*.ods|*.pdf|*.docx|*.xlsx|*.pptx|*.ole|*.txt|*.xml|*.chm|*.htm|"
    "*.html|*.pst|*.dbx|*.wps|*.dps|*.et|*.one|*.mpp|*.mdb|*.accdb";
const char kVideoGroup[] =
    "*.rmvb|*.rm|*.mpeg|*.mov|*.avi|*.wmv|*.asf|*.mp4|*.flv|*.fla|*.swf|*.m4v|*.3gp|*.dv|"
    "*.3g2|*.m4b|*.mkv|*.mts|*.divx|*.ogm|*.moi|*.vob|*.ajp|*.f4v|*.mqv|*.svi|*.vid|*.tod|"
    "*.hdmov|*.mod|*.mxf|*.lrv|*.m2t";
const char kArchiveGroup[] =
    "*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|*.bz2|*.jar|*.iso|*.xz";
const char kPreviewDocumentGroup[] =
    "*.pdf|*.doc|*.dot|*.docx|*.dotx|*.docm|*.dotm|*.rtf|*.odt|*.ppt|*.pptx|*.pptm|*.pps|"
    "*.ppsx|*.ppsm|*.odp|*.xls|*.xlsx|*.xlsm|*.csv|*.odc|*.vsd|*.vsdm|*.vsdx|*.pub|*.mpp|"
    "*.ics|*.vcf|*.msg|*.zip|*.rar|*.gzip|*.tar|*.7z|*.cab|*.arj|*.lzh|*.ace|*.gz|*.uue|"
    "*.bz2|*.jar|*.iso";

namespace {

bool Contains(std::string_view list, std::string_view part) {
  return list.find(part) != std::string_view::npos;
}

// Whether "*<dotted>" is a whole entry of the list, also as the window
// writes its filter (".\.jpg|.\.png", the '*' a '.' and the dot escaped).
bool HasEntry(std::string_view list, std::string_view dotted) {
  for (size_t at = list.find(dotted); at != std::string_view::npos; at = list.find(dotted, at + 1)) {
    size_t end = at + dotted.size();
    bool starts = at > 0 && (list[at - 1] == '*' || (list[at - 1] == '\\' && at > 1 && list[at - 2] == '.'));
    if (starts && (end == list.size() || list[end] == '|')) return true;
  }
  return false;
}

const char* const kGroupLists[] = {kImageGroup, kAudioGroup, kDocumentGroup, kVideoGroup,
                                   kArchiveGroup};

// An extension that some list names whole is judged by whole entries
// only: ".avi" is not a picture because ".avif" is, nor ".fla" a sound
// because ".flac" is. Parts of extensions keep matching by substring.
bool KnownWhole(std::string_view dotted) {
  for (const char* list : kGroupLists)
    if (HasEntry(list, dotted)) return true;
  return false;
}

bool ListTakes(std::string_view list, std::string_view dotted, bool whole) {
  return whole ? HasEntry(list, dotted) : Contains(list, dotted);
}

}  // namespace

const std::string& KnownExtensions() {
  static const std::string known = std::string(kImageGroup) + "|" + kAudioGroup + "|" +
                                   kDocumentGroup + "|" + kVideoGroup + "|" + kArchiveGroup;
  return known;
}

std::string LowerExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string extension(name.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

std::string_view NameSuffix(std::string_view name) {
  size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool IsImageExtension(std::string_view extension) {
  return !extension.empty() && Contains(kImageGroup, extension);
}

bool FilterTakesName(std::string_view filter, bool otherInForce, std::string_view name) {
  if (name.find('.') == std::string_view::npos) return otherInForce;
  std::string dotted = "." + LowerExtension(name);
  if (ListTakes(filter, dotted, KnownWhole(dotted))) return true;
  return otherInForce && !Contains(KnownExtensions(), dotted);
}

bool NameFilter::Takes(std::string_view name) {
  std::string suffix(NameSuffix(name));
  auto known = answers_.find(suffix);
  if (known != answers_.end()) return known->second;
  bool takes = FilterTakesName(filter_, otherInForce_, name);
  answers_.emplace(std::move(suffix), takes);
  return takes;
}

std::string GroupFolderOfName(std::string_view name) {
  size_t dot = name.rfind('.');
  std::string_view tail = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
  if (tail.size() > 27) tail = tail.substr(0, 27);
  std::string dotted = "." + LowerExtension("." + std::string(tail));
  if (dot == std::string_view::npos) return "others";
  const bool whole = KnownWhole(dotted);
  if (ListTakes(kImageGroup, dotted, whole)) return "photo";
  if (ListTakes(kAudioGroup, dotted, whole)) return "audio";
  if (ListTakes(kVideoGroup, dotted, whole)) return "video";
  if (ListTakes(kDocumentGroup, dotted, whole)) return "document";
  if (ListTakes(kArchiveGroup, dotted, whole)) return "archive";
  return "others";
}

std::string GroupListByName(std::string_view group) {
  if (group == "photo" || group == "image" || group == "images") return kImageGroup;
  if (group == "audio") return kAudioGroup;
  if (group == "video") return kVideoGroup;
  if (group == "document" || group == "documents") return kDocumentGroup;
  if (group == "archive" || group == "archives") return kArchiveGroup;
  if (group == "other" || group == "others") return ".other";
  return {};
}

PreviewRoute RoutePreview(std::string_view name) {
  std::string extension = LowerExtension(name);
  if (extension.empty()) return PreviewRoute::kMemory;
  // A later list wins over an earlier one, as the routing lists are tried in
  // order documents, audio, video, images.
  const std::string dotted = "." + extension;
  const bool whole = KnownWhole(dotted) || HasEntry(kPreviewDocumentGroup, dotted);
  auto takes = [&](std::string_view list) {
    return whole ? HasEntry(list, dotted) : Contains(list, extension);
  };
  PreviewRoute route = PreviewRoute::kMemory;
  if (takes(kPreviewDocumentGroup)) route = PreviewRoute::kDocument;
  if (takes(kAudioGroup) || takes(kVideoGroup)) route = PreviewRoute::kMedia;
  if (takes(kImageGroup)) route = PreviewRoute::kImage;
  return route;
}

}  // namespace salvora
