#include "ntfs/FastNtfsRecovery.h"
#include "storage/EngineFactories.h"

namespace salvora {

std::unique_ptr<IFileRecoveryParse> MakeQuickNtfsEngine() {
  return std::make_unique<CFastNtfsRecovery>();
}

}  // namespace salvora
