#include "platform/DataFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace salvora {

std::filesystem::path ScanLogFolder() {
  if (const char* override = std::getenv("SALVORA_DATA_DIR"); override && *override)
    return override;
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    base = std::filesystem::path(home) / ".local" / "share";
  }
  return base / "VornekDataRecovery" / "ScanLog";
}

}  // namespace salvora
