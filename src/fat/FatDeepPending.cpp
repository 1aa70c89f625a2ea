#include "fat/FatDeepPending.h"

#include <algorithm>

namespace salvora {
namespace {

// Each waiting file holds its name and times; a hostile disk full of
// unplaceable directories must not make the list grow without end.
constexpr size_t kMaxPendingFiles = 1u << 16;

}  // namespace

void FatDeepPendingFiles::Clear() {
  groups_.clear();
  fileCount_ = 0;
}

void FatDeepPendingFiles::Add(uint32_t directory, uint64_t blockSector, FatDeepEntry file,
                              size_t volumesTried) {
  if (fileCount_ >= kMaxPendingFiles) return;
  auto [it, inserted] = groups_.try_emplace({directory, blockSector});
  Group& group = it->second;
  if (inserted) {
    group.directory = directory;
    group.blockSector = blockSector;
    group.volumesTried = volumesTried;
  } else {
    group.volumesTried = std::min(group.volumesTried, volumesTried);
  }
  group.files.push_back(std::move(file));
  ++fileCount_;
}

}  // namespace salvora
