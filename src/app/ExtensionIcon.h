#pragma once
// The list icon of a found file, chosen by its extension: folder, picture,
// music, document, video, archive, program or a generic file. A file whose
// content does not match its type gets the same icon with a warning emblem.
// Icons come from the desktop's icon theme, or from the set built into the
// program where the system has no theme.
#include <QIcon>
#include <string_view>

namespace salvora {

// The icon file's base name as the program's own set names it ("image",
// "music", "doc", "video", "zip", "exe", "folder" or "default"), for the
// lower-cased extension without its dot; "folder" names a folder.
const char* ExtensionIconName(std::string_view extension);

QIcon ExtensionIcon(std::string_view extension, bool contentOk);

}  // namespace salvora
