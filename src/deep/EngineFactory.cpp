#include "deep/ProfessionalRecovery.h"
#include "storage/EngineFactories.h"

namespace salvora {

std::unique_ptr<IFileRecoveryParse> MakeDeepEngine() {
  return std::make_unique<CProfessionalRecovery>();
}

}  // namespace salvora
