#pragma once
// Where a scan keeps its own data (result stores, resume state, the saved-
// scan index). The usual folder is in the user's home, which is often on
// the very disk being scanned; every file written there could land on the
// blocks of a deleted file. So the place is checked against the sources
// first, and a memory-backed folder stands in when it would lie on one.
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

struct ScanDataPlace {
  enum class Kind {
    kUsual,    // the usual (or the chosen) folder lies off the sources
    kMemory,   // it does not; the private runtime folder has room instead
    kRefused,  // it does not, and there is no safe folder with room
  } kind = Kind::kRefused;
  std::string folder;         // where scan data goes (kUsual, kMemory)
  std::string usualFolder;    // the folder that was checked first
  std::string sourceHit;      // the source the usual folder lies on
  std::string runtimeFolder;  // the runtime folder tried, empty when there is none
  uint64_t neededBytes = 0;   // the expected size of the scan's data
};

// What the result stores of one scan of `sourceBytes` are expected to need:
// one found entry for every 256 KiB, and the deep scan's four stores twice
// the quick scan's, with a floor for small sources.
uint64_t ExpectedScanDataBytes(uint64_t sourceBytes, bool deep);

// Decides where a scan of `sources` (device nodes or image files) keeps its
// data. `chosen` is a folder the user named for this run; it is used only
// when it lies off the sources, and is never replaced silently.
ScanDataPlace PlaceScanData(const std::vector<std::string>& sources, uint64_t neededBytes,
                            const std::string& chosen);

}  // namespace salvora
