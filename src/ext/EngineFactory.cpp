#include "ext/FastExtRecovery.h"
#include "storage/EngineFactories.h"

namespace salvora {

std::unique_ptr<IFileRecoveryParse> MakeQuickExtEngine() {
  return std::make_unique<CFastExtRecovery>();
}

}  // namespace salvora
