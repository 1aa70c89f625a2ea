#include "NtfsVolumeFixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace salvora::test {
namespace {

std::string FixtureScript() {
  return (std::filesystem::path(__FILE__).parent_path() / "make_ntfs_fixture.py").string();
}

std::string WhyNotHere() {
  if (!IsRoot()) return "building the NTFS fixture needs root (FUSE mount)";
  if (!HaveCommand("mkntfs") || !HaveCommand("ntfs-3g"))
    return "mkntfs and ntfs-3g are not installed";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse is not available";
  if (!HaveCommand("python3")) return "python3 is not installed";
  return "";
}

NtfsVolumeFixture Build() {
  NtfsVolumeFixture f;
  f.skipReason = WhyNotHere();
  if (!f.skipReason.empty()) return f;
  f.dir = std::make_unique<TempDir>();
  std::string output;
  if (Run("python3 " + Quote(FixtureScript()) + " " + Quote(f.dir->path()), &output) != 0) {
    f.skipReason = "the NTFS fixture could not be built: " + output;
    return f;
  }
  f.image = *f.dir / "vol.img";
  std::istringstream manifest(ReadFile(*f.dir / "manifest.txt"));
  std::string kind;
  while (manifest >> kind) {
    if (kind == "live") {
      uint32_t record;
      std::string path;
      manifest >> record >> path;
      f.live[path] = record;
    } else if (kind == "deleted") {
      std::string path;
      manifest >> path;
      f.deleted.push_back(path);
    } else if (kind == "reused") {
      uint32_t oldRecord, newRecord;
      manifest >> oldRecord >> newRecord;
      f.reusedFolderRecord = oldRecord;
      f.folderRecordReused = oldRecord == newRecord;
    }
  }
  f.freeBytes = std::stoull(ReadFile(*f.dir / "free.txt"));
  return f;
}

}  // namespace

const NtfsVolumeFixture& NtfsVolumeFixture::Get() {
  static const NtfsVolumeFixture fixture = Build();
  return fixture;
}

std::string NtfsVolumeFixture::Original(const std::string& path) const {
  std::string flat = path;
  for (size_t at = flat.find('/'); at != std::string::npos; at = flat.find('/'))
    flat.replace(at, 1, "__");
  return *dir / ("originals/" + flat);
}

std::string NtfsVolumeFixture::ListedPath(const std::string& path) const {
  if (path.rfind("gone/", 0) == 0)
    return "LostFolder" + std::to_string(reusedFolderRecord) + path.substr(4);
  return path;
}

}  // namespace salvora::test
