#include "platform/DataFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace salvora {
namespace fs = std::filesystem;
namespace {

std::mutex folderLock;
fs::path chosenScanLog;
fs::path previewFolder;

fs::path MakePrivateFolder(const fs::path& parent) {
  std::string pattern = (parent / "salvora-preview-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return {};
  return pattern;
}

}  // namespace

fs::path DefaultScanLogFolder() {
  if (const char* override = std::getenv("SALVORA_DATA_DIR"); override && *override)
    return override;
  fs::path base;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : "/tmp";
    }
    base = fs::path(home) / ".local" / "share";
  }
  return base / "VornekDataRecovery" / "ScanLog";
}

fs::path ScanLogFolder() {
  std::lock_guard<std::mutex> hold(folderLock);
  return chosenScanLog.empty() ? DefaultScanLogFolder() : chosenScanLog;
}

void UseScanLogFolder(const fs::path& folder) {
  std::lock_guard<std::mutex> hold(folderLock);
  chosenScanLog = folder;
}

fs::path PrivateRuntimeFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (!runtime || runtime[0] != '/' || ::lstat(runtime, &st) != 0) return {};
  bool privateToUs = S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
  return privateToUs ? fs::path(runtime) : fs::path();
}

fs::path PreviewFolder() {
  std::lock_guard<std::mutex> hold(folderLock);
  if (!previewFolder.empty()) return previewFolder;
  fs::path runtime = PrivateRuntimeFolder();
  if (!runtime.empty()) previewFolder = MakePrivateFolder(runtime);
  std::error_code ec;
  fs::path temporary = fs::temp_directory_path(ec);
  if (previewFolder.empty()) previewFolder = MakePrivateFolder(ec ? fs::path("/tmp") : temporary);
  return previewFolder;
}

void RemovePreviewFolder() {
  std::lock_guard<std::mutex> hold(folderLock);
  std::error_code ignored;
  if (!previewFolder.empty()) fs::remove_all(previewFolder, ignored);
  previewFolder.clear();
}

}  // namespace salvora
