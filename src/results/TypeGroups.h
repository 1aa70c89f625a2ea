#pragma once
// File-type groups: fixed extension lists matched by substring, the way every
// listing, filter, recovery folder and preview route decides a file's kind.
#include <string>
#include <string_view>
#include <unordered_map>

namespace salvora {

extern const char kImageGroup[];
extern const char kAudioGroup[];
extern const char kDocumentGroup[];
extern const char kVideoGroup[];
extern const char kArchiveGroup[];
// Documents and archives as the preview routes them.
extern const char kPreviewDocumentGroup[];

// images|audio|documents|video|archives: what ".other" excludes.
const std::string& KnownExtensions();

// Text after the last '.' of a name, lower-cased; empty without a dot.
std::string LowerExtension(std::string_view name);

// The text of a name from its last '.' on, as written; empty without a dot.
// Every answer of this file about a name depends on this much of it alone.
std::string_view NameSuffix(std::string_view name);

// True when the extension (no dot) occurs anywhere in the image list.
bool IsImageExtension(std::string_view extension);

// A record's name taken by a type filter ("*.jpg|*.png", ".other" for every
// extension outside the known groups).
bool FilterTakesName(std::string_view filter, bool otherInForce, std::string_view name);

// FilterTakesName for the many names of one listing, which share few
// extensions: each extension's answer is worked out once.
class NameFilter {
 public:
  NameFilter(std::string_view filter, bool otherInForce)
      : filter_(filter), otherInForce_(otherInForce) {}
  bool Takes(std::string_view name);

 private:
  std::string filter_;
  bool otherInForce_;
  std::unordered_map<std::string, bool> answers_;  // by NameSuffix
};

// "photo", "audio", "video", "document", "archive" or "others".
std::string GroupFolderOfName(std::string_view name);

// Group names accepted on the command line mapped to their list; empty for
// an unknown group name.
std::string GroupListByName(std::string_view group);

enum class PreviewRoute { kMemory, kDocument, kMedia, kImage };
// Where a preview of a file of this name goes.
PreviewRoute RoutePreview(std::string_view name);

}  // namespace salvora
