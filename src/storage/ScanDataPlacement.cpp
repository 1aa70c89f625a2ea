#include "storage/ScanDataPlacement.h"

#include <algorithm>

#include "platform/DataFolders.h"
#include "platform/DeviceStack.h"
#include "platform/ErrorCodes.h"
#include "platform/Mounts.h"

namespace salvora {
namespace {

constexpr uint64_t kSourceBytesPerEntry = 256 * 1024;
// A record, its share of the folder file and of the relation text.
constexpr uint64_t kBytesPerEntry = 640;
constexpr uint64_t kLeastScanDataBytes = 8ull << 20;

bool HasRoom(const std::string& folder, uint64_t neededBytes) {
  uint64_t total = 0, freeBytes = 0;
  return FileSystemSpace(folder, total, freeBytes) == kOk && freeBytes >= neededBytes;
}

}  // namespace

uint64_t ExpectedScanDataBytes(uint64_t sourceBytes, bool deep) {
  uint64_t bytes = sourceBytes / kSourceBytesPerEntry * kBytesPerEntry * (deep ? 2 : 1);
  return std::max(bytes, kLeastScanDataBytes);
}

ScanDataPlace PlaceScanData(const std::vector<std::string>& sources, uint64_t neededBytes,
                            const std::string& chosen) {
  ScanDataPlace place;
  place.neededBytes = neededBytes;
  place.usualFolder = chosen.empty() ? DefaultScanLogFolder().string() : chosen;
  if (!PlaceTouchesSources(place.usualFolder, sources, &place.sourceHit)) {
    place.kind = ScanDataPlace::Kind::kUsual;
    place.folder = place.usualFolder;
    return place;
  }
  if (!chosen.empty()) return place;
  std::filesystem::path runtime = PrivateRuntimeFolder();
  if (runtime.empty()) return place;
  place.runtimeFolder = runtime.string();
  if (PlaceTouchesSources(place.runtimeFolder, sources) ||
      !HasRoom(place.runtimeFolder, neededBytes))
    return place;
  place.kind = ScanDataPlace::Kind::kMemory;
  place.folder = (runtime / "salvora" / "ScanLog").string();
  return place;
}

}  // namespace salvora
