#pragma once
// How found names become paths under the user's destination: made safe
// first (a name from disk must never climb out of the destination or hide
// itself), then made unique so that nothing existing is written over.
#include <string>
#include <string_view>

#include "results/FoundRecord.h"

namespace salvora {

// Replaces '/', '\\', NUL, control characters (C1 included) and characters
// that reorder or break the shown text by '_'; "", "." and ".." become "_".
std::string SafeFileName(std::string_view name);

// A record's name as a safe file name.
std::string SafeRecordName(const FoundRecord& record);
// A found name or path as a terminal or a window may show it: as found, but
// no control or disguising character of its own acts on the display.
std::string ShownText(std::string_view text);

// A folder path from a record path ("a/b/") with every part made safe.
std::string SafeRelativeFolder(std::string_view recordPath);

// The path itself when nothing exists there, else "base(n).ext" with the
// smallest free n.
std::string UniquePath(const std::string& path);

// destination/<group folder of the name>/<safe name>, made unique.
std::string GroupedRecoveryPath(const std::string& destination, const FoundRecord& record);

// Number of '/' in a path, not counting its last character: the depth
// argument of RecoverItem for a destination root.
int PathDepth(std::string_view path);

}  // namespace salvora
