#pragma once
// Where the desktop application keeps what lies outside the scan results.
// An installed program's folder is not writable, so the user's settings go
// to the per-user configuration folder, while the language files are read
// from beside the executable (a build tree) or from the install prefix.
#include <QString>

namespace salvora {

// $XDG_CONFIG_HOME/salvora/config.ini (default ~/.config/salvora/config.ini).
QString ConfigFilePath();
// $SALVORA_LANGUAGES_DIR when set, <executable folder>/Languages when it
// exists, else
// <executable folder>/../share/salvora/Languages.
QString LanguagesFolder();
// The built-in defaults of config.ini (languages offered, default language).
QString DefaultConfigResource();

}  // namespace salvora
