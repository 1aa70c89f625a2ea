#include "storage/FastExtRecovery.h"

namespace salvora {

int CFastExtRecovery::OpenDisk(uint32_t diskNumber, uint64_t, uint64_t, uint16_t) {
  return source_.OpenDisk(diskNumber);
}

}  // namespace salvora
