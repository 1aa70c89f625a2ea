#pragma once
// What the command line does before a scan reads its source: it flushes a
// mounted source and says that the volume is in use, and it chooses a
// folder for the scan's own data that lies off the source.
#include <string>

#include "cli/SourceSpec.h"

namespace salvora {

// Warns on stderr about each mount that uses the source, after flushing
// it, ending with `advice`.
void WarnWhenMounted(const ScanSource& source, const std::string& advice);
// The advice of a scan: image the volume first.
std::string ImageFirstAdvice(const ScanSource& source);

// Makes the scan's data go where it cannot overwrite what is scanned and
// says where when that is not the usual folder. `chosen` is --scan-data.
// False, after saying why and what to do, when there is no such place.
bool ChooseScanDataFolder(const ScanSource& source, const std::string& chosen, bool deep);

}  // namespace salvora
