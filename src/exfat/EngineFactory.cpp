#include "exfat/FastExfatRecovery.h"
#include "storage/EngineFactories.h"

namespace salvora {

std::unique_ptr<IFileRecoveryParse> MakeQuickExfatEngine() {
  return std::make_unique<CFastExfatRecovery>();
}

}  // namespace salvora
