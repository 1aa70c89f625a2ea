#pragma once
// Per-user folders of the program.
#include <filesystem>

namespace salvora {

// The scan-log folder that holds run folders, the saved-scan index and the
// preview temporaries: $SALVORA_DATA_DIR when set, else
// $XDG_DATA_HOME (default ~/.local/share) + /VornekDataRecovery/ScanLog.
// The folder is not created here.
std::filesystem::path ScanLogFolder();

}  // namespace salvora
