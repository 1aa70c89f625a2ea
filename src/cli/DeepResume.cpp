#include "cli/DeepResume.h"

#include <cinttypes>
#include <cstdio>

#include "deep/ProfessionalRecovery.h"

namespace salvora {

void PrepareDeepResume(IFileRecoveryParse& engine, const std::string& sourceText, bool fresh) {
  auto* deep = dynamic_cast<CProfessionalRecovery*>(&engine);
  if (!deep || !deep->ResumesSavedScan()) return;
  if (fresh) {
    deep->DiscardSavedScan();
    std::fprintf(stderr, "discarded the saved deep scan of %s; starting afresh\n",
                 sourceText.c_str());
    return;
  }
  ScanPosition position = deep->SavedPosition();
  std::fprintf(stderr,
               "resuming the saved deep scan of %s after %" PRIu64 " sectors (%" PRIu64
               " files found so far); use --fresh to start over\n",
               sourceText.c_str(), position.sectorsDone, position.filesFound);
}

}  // namespace salvora
