#include "cli/DeepResume.h"

#include <cinttypes>
#include <cstdio>

namespace salvora {

std::function<bool(size_t, const ScanPosition&)> DeepResumeChoice(std::vector<std::string> labels,
                                                                  bool fresh) {
  return [labels = std::move(labels), fresh](size_t step, const ScanPosition& saved) {
    const std::string& label = step < labels.size() ? labels[step] : labels.back();
    if (fresh) {
      std::fprintf(stderr, "discarded the saved deep scan of %s; starting afresh\n",
                   label.c_str());
      return false;
    }
    std::fprintf(stderr,
                 "resuming the saved deep scan of %s after %" PRIu64 " sectors (%" PRIu64
                 " files found so far); use --fresh to start over\n",
                 label.c_str(), saved.sectorsDone, saved.filesFound);
    return true;
  };
}

}  // namespace salvora
