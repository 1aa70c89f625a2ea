#pragma once
// Deep scans of images made at test time, and what they found, in the form
// the assertions compare: the path below the root, the size, the first
// sector and the engine.
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "deep/ProfessionalRecovery.h"

namespace salvora::test {

struct FoundFile {
  std::string path;  // folders from the root down, then the name
  uint64_t size = 0;
  uint64_t sector = 0;  // entrySector
  uint32_t kind = 0;
  FoundRecord record{};
  bool operator<(const FoundFile& other) const {
    return std::tie(path, size, sector) < std::tie(other.path, other.size, other.sector);
  }
  bool operator==(const FoundFile& other) const {
    return std::tie(path, size, sector) == std::tie(other.path, other.size, other.sector);
  }
  friend std::ostream& operator<<(std::ostream& out, const FoundFile& file) {
    return out << file.path << " (" << file.size << " bytes at " << file.sector << ")";
  }
};

// A deep engine opened on an image, as engine selection builds it.
std::unique_ptr<CProfessionalRecovery> OpenDeep(const std::string& image);
// Runs its scan; with `cancelAtPercent` the user cancels once the walk has
// reached that share of its sectors.
int RunDeepScan(CProfessionalRecovery& engine, int cancelAtPercent = -1);
// Every file of the merged type listing.
std::vector<FoundFile> ListFiles(CProfessionalRecovery& engine);
// The found file whose path ends with `suffix`, or null.
const FoundFile* FindBySuffix(const std::vector<FoundFile>& files, const std::string& suffix);
// Recovers one file into `folder` and returns its SHA-256.
std::string RecoveredSha256(CProfessionalRecovery& engine, const FoundFile& file,
                            const std::string& folder);

}  // namespace salvora::test
