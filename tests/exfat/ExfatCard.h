#pragma once
// Camera-card images made by mkfs.exfat and written through exfat-fuse
// (see make_exfat_fixture.py), one per cluster size and per state: as left
// after the deletions, or formatted again afterwards.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace salvora::test {

// Why exfat-fuse cannot write a card here; empty when it can.
std::string WhyNoExfatFuse();

struct ExfatCard {
  // Built once per cluster size and state; `skipReason` is set when this
  // machine cannot build it.
  static const ExfatCard& Get(uint32_t clusterBytes, bool reformatted = false);

  std::string skipReason;
  std::unique_ptr<TempDir> dir;
  std::string image;
  std::vector<std::string> live;
  std::map<std::string, bool> deleted;  // path -> every piece still on the card

  // The bytes the file had when it was written.
  std::string Original(const std::string& path) const;
};

}  // namespace salvora::test
