#pragma once
// Per-user folders of the program.
#include <filesystem>
#include <string>

namespace salvora {

// Where scan data goes unless something safer is chosen:
// $SALVORA_DATA_DIR when set, else $XDG_DATA_HOME (default ~/.local/share)
// + /VornekDataRecovery/ScanLog. The folder is not created here.
std::filesystem::path DefaultScanLogFolder();

// The scan-log folder that holds run folders and the saved-scan index: the
// folder chosen for this process by UseScanLogFolder, else the default.
std::filesystem::path ScanLogFolder();
// Chooses the scan-log folder for the rest of the process (empty: back to
// the default). Front ends call it once they know it lies off the sources.
void UseScanLogFolder(const std::filesystem::path& folder);

// $XDG_RUNTIME_DIR when it is set and is a folder of this user that nobody
// else can enter; empty otherwise. It is memory-backed on most systems and
// emptied when the user's last session ends.
std::filesystem::path PrivateRuntimeFolder();

// A folder of this process for preview files, mode 0700, made on first use
// in the private runtime folder, else in the temporary folder; empty when
// neither can hold one. RemovePreviewFolder deletes it with its contents.
std::filesystem::path PreviewFolder();
void RemovePreviewFolder();

}  // namespace salvora
