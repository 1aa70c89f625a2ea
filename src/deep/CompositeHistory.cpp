#include "deep/CompositeHistory.h"

#include <cstring>
#include <filesystem>
#include <set>

#include "platform/ErrorCodes.h"
#include "platform/VolumeFreeSpace.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

void FillKeys(const ScanIdentity& identity, uint32_t (&keys)[5]) {
  keys[0] = identity.diskNumber;
  keys[1] = static_cast<uint32_t>(identity.firstSector);
  keys[2] = static_cast<uint32_t>(identity.firstSector >> 32);
  keys[3] = static_cast<uint32_t>(identity.sectorCount);
  keys[4] = static_cast<uint32_t>(identity.sectorCount >> 32);
}

bool EndsWith(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

}  // namespace

std::string NormalImagePath(const std::string& path) {
  std::error_code ec;
  fs::path normal = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? path : normal.string();
}

bool FindSavedScan(const ScanIdentity& identity, ScanHistoryEntry& entry) {
  ScanHistory& history = ScanHistory::Instance();
  if (!identity.imagePath.empty())
    return history.FindImage(identity.imagePath, identity.firstSector,
                             FileWriteTime(identity.imagePath.c_str()), entry);
  uint32_t keys[5];
  FillKeys(identity, keys);
  uint64_t freeBytes =
      VolumeFreeBytes(identity.diskNumber, identity.firstSector, identity.sectorCount);
  return history.FindVolume(keys, freeBytes, entry);
}

int SaveScanPosition(const ScanIdentity& identity, const ScanPosition& position, uint32_t carveSkip,
                     const std::string& resultFolder) {
  ScanHistoryEntry entry;
  std::memset(&entry, 0, sizeof entry);
  uint32_t keys[5];
  FillKeys(identity, keys);
  entry.key1 = keys[0];
  entry.key2 = keys[1];
  entry.key3 = keys[2];
  entry.key4 = keys[3];
  entry.key5 = keys[4];
  SetPosition(entry, position);
  entry.reserved = carveSkip;
  if (identity.imagePath.empty()) {
    entry.freeBytes =
        VolumeFreeBytes(identity.diskNumber, identity.firstSector, identity.sectorCount);
  } else {
    entry.imageWriteTime = FileWriteTime(identity.imagePath.c_str());
    // A path too long for the index cannot be resumed; nothing is saved.
    if (!SetEntryText(entry.imagePath, identity.imagePath)) return kInvalidParameter;
  }
  if (!SetEntryText(entry.resultFolder, resultFolder)) return kInvalidParameter;
  return ScanHistory::Instance().AddOrUpdate(entry);
}

std::string FindStoreName(const std::string& folder, const char* prefix) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(folder, ec)) {
    std::string name = item.path().filename().string();
    if (name.find(prefix) == std::string::npos || EndsWith(name, "_Relation") ||
        EndsWith(name, "_DirInfo"))
      continue;
    if (item.is_regular_file(ec)) names.insert(name);
  }
  return names.empty() ? std::string() : *names.begin();
}

}  // namespace salvora
