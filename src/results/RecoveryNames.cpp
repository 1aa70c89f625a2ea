#include "results/RecoveryNames.h"

#include "platform/OutputFile.h"
#include "results/DisguisingCharacters.h"
#include "results/TypeGroups.h"

namespace salvora {

namespace {

// `name` with every control and disguising character replaced by '_', and
// the path separators too when asked.
std::string WithoutHiddenCharacters(std::string_view name, bool separators) {
  std::string safe;
  safe.reserve(name.size());
  for (size_t i = 0; i < name.size();) {
    if (size_t disguising = DisguisingSequenceLength(name.substr(i))) {
      safe.push_back('_');
      i += disguising;
      continue;
    }
    char c = name[i++];
    unsigned char u = static_cast<unsigned char>(c);
    bool separator = c == '/' || c == '\\';
    safe.push_back((separator && separators) || u < 0x20 || u == 0x7F ? '_' : c);
  }
  return safe;
}

}  // namespace

std::string SafeFileName(std::string_view name) {
  std::string safe = WithoutHiddenCharacters(name, true);
  if (safe.empty() || safe == "." || safe == "..") return "_";
  return safe;
}

std::string ShownText(std::string_view text) { return WithoutHiddenCharacters(text, false); }

std::string SafeRecordName(const FoundRecord& record) {
  return SafeFileName(std::string_view(record.name, RecordNameLength(record.name)));
}

std::string SafeRelativeFolder(std::string_view recordPath) {
  std::string folder;
  size_t start = 0;
  while (start < recordPath.size()) {
    size_t end = recordPath.find('/', start);
    if (end == std::string_view::npos) end = recordPath.size();
    if (end > start) folder += SafeFileName(recordPath.substr(start, end - start)) + "/";
    start = end + 1;
  }
  return folder;
}

std::string UniquePath(const std::string& path) {
  if (!PathExists(path)) return path;
  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= nameStart) dot = path.size();
  std::string base = path.substr(0, dot), extension = path.substr(dot);
  for (int n = 1;; ++n) {
    std::string candidate = base + "(" + std::to_string(n) + ")" + extension;
    if (!PathExists(candidate)) return candidate;
  }
}

std::string GroupedRecoveryPath(const std::string& destination, const FoundRecord& record) {
  std::string name(record.name, RecordNameLength(record.name));
  std::string root = destination;
  if (!root.empty() && root.back() == '/') root.pop_back();
  return UniquePath(root + "/" + GroupFolderOfName(name) + "/" + SafeFileName(name));
}

int PathDepth(std::string_view path) {
  int depth = 0;
  for (size_t i = 0; i + 1 < path.size(); ++i) depth += path[i] == '/';
  return depth;
}

}  // namespace salvora
