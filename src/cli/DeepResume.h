#pragma once
// What a deep scan says and does about a saved, interrupted scan of the
// same source: it continues it (and says so), or with --fresh forgets it.
#include <string>

#include "storage/IFileRecoveryParse.h"

namespace salvora {

void PrepareDeepResume(IFileRecoveryParse& engine, const std::string& sourceText, bool fresh);

}  // namespace salvora
