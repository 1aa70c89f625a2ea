#include "cli/ScanPlacement.h"

#include <cstdio>

#include "platform/DataFolders.h"
#include "platform/DeviceStack.h"
#include "storage/FormatSize.h"
#include "storage/ScanDataPlacement.h"

namespace salvora {
namespace {

std::string WhyNoMemoryFolder(const ScanDataPlace& place) {
  if (place.runtimeFolder.empty()) return "there is no private XDG_RUNTIME_DIR to use instead";
  return place.runtimeFolder + " (memory) has no room for the about " +
         FormatSize(static_cast<int64_t>(place.neededBytes)) + " this scan needs";
}

void SayRefused(const ScanDataPlace& place, const std::string& chosen) {
  if (!chosen.empty()) {
    std::fprintf(stderr,
                 "salvora: --scan-data %s lies on the disk being scanned (%s); name a folder on "
                 "another disk\n",
                 chosen.c_str(), place.sourceHit.c_str());
    return;
  }
  std::fprintf(stderr,
               "salvora: the scan-data folder %s lies on the disk being scanned (%s), and %s. "
               "Name a folder on another disk with --scan-data DIR (or SALVORA_DATA_DIR=DIR)\n",
               place.usualFolder.c_str(), place.sourceHit.c_str(),
               WhyNoMemoryFolder(place).c_str());
}

}  // namespace

void WarnWhenMounted(const ScanSource& source, const std::string& advice) {
  for (const MountEntry& mount : FlushMountsUsingSource(source.path)) {
    std::fprintf(stderr,
                 "salvora: warning: %s is in use, mounted at %s. What is written to it meanwhile "
                 "can change the results and overwrite deleted files; %s\n",
                 source.path.c_str(), mount.mountPoint.c_str(), advice.c_str());
  }
}

std::string ImageFirstAdvice(const ScanSource& source) {
  return "for a steady result copy it first (salvora image " + source.path +
         " FILE) and scan the image";
}

bool ChooseScanDataFolder(const ScanSource& source, const std::string& chosen, bool deep) {
  uint64_t sourceBytes = source.sectorCount * source.sectorSize;
  ScanDataPlace place =
      PlaceScanData({source.path}, ExpectedScanDataBytes(sourceBytes, deep), chosen);
  if (place.kind == ScanDataPlace::Kind::kRefused) {
    SayRefused(place, chosen);
    return false;
  }
  UseScanLogFolder(place.folder);
  if (place.kind != ScanDataPlace::Kind::kMemory) return true;
  std::fprintf(stderr,
               "the scan-data folder %s lies on the disk being scanned (%s), so this scan keeps "
               "its data in %s, which is held in memory\n",
               place.usualFolder.c_str(), place.sourceHit.c_str(), place.folder.c_str());
  if (deep)
    std::fprintf(stderr,
                 "the deep scan's resume state goes there too and is lost when the computer "
                 "restarts; `salvora scans --scan-data %s` lists it, and --scan-data DIR on "
                 "another disk keeps it across restarts\n",
                 place.folder.c_str());
  return true;
}

}  // namespace salvora
