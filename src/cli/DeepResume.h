#pragma once
// What a deep scan says and does about a saved, interrupted scan of the
// same source: it continues it (and says so), or with --fresh forgets it.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "results/ScanHistory.h"

namespace salvora {

// The scan job's answer for the source named `labels[step]`.
std::function<bool(size_t step, const ScanPosition& saved)> DeepResumeChoice(
    std::vector<std::string> labels, bool fresh);

}  // namespace salvora
