#pragma once
// Constructors of the engines that engine selection builds. Each engine's
// folder defines its own, so selection does not depend on engine internals.
#include <memory>

#include "storage/IFileRecoveryParse.h"

namespace salvora {

std::unique_ptr<IFileRecoveryParse> MakeQuickFatEngine();
std::unique_ptr<IFileRecoveryParse> MakeQuickNtfsEngine();
std::unique_ptr<IFileRecoveryParse> MakeQuickExfatEngine();
std::unique_ptr<IFileRecoveryParse> MakeQuickExtEngine();
// The composite deep engine, for every volume class.
std::unique_ptr<IFileRecoveryParse> MakeDeepEngine();

}  // namespace salvora
