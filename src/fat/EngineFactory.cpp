#include "fat/FastFatRecovery.h"
#include "storage/EngineFactories.h"

namespace salvora {

std::unique_ptr<IFileRecoveryParse> MakeQuickFatEngine() {
  return std::make_unique<CFastFatRecovery>();
}

}  // namespace salvora
