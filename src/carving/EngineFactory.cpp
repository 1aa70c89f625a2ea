#include "storage/EngineFactories.h"

namespace salvora {

// Not built yet: selection reports that no engine can scan this volume.
std::unique_ptr<IFileRecoveryParse> MakeDeepEngine() { return nullptr; }

}  // namespace salvora
