#include "carving/ContentCheck.h"

namespace salvora {

// Until the signature table exists every file passes.
int MatchesExtension(const uint8_t*, uint32_t, const char*, SectorSource&, int, uint64_t) {
  return 1;
}

}  // namespace salvora
