#pragma once
// Files met in directories whose volume was not known yet. They wait,
// grouped by the directory block that held them, until a volume places that
// block exactly, or until the end of the sweep.
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "fat/FatDeepBlockParser.h"
#include "fat/FatDeepVolume.h"

namespace salvora {

class FatDeepPendingFiles {
 public:
  struct Group {
    uint32_t directory = 0;
    uint64_t blockSector = 0;  // the directory's first sector, once placed
    std::vector<FatDeepEntry> files;
    size_t volumesTried = 0;  // volumes known not to place the block
  };

  void Clear();
  // `volumesTried`: how many of the known volumes already failed to place
  // the block.
  void Add(uint32_t directory, uint64_t blockSector, FatDeepEntry file, size_t volumesTried);
  // Hands every group that a volume places exactly to place(group, volume)
  // and forgets it. Only volumes a group has not tried yet are tried.
  template <typename Place>
  void PlaceExact(const FatDeepVolumes& volumes, Place place);
  // Hands out and forgets every group left.
  template <typename Place>
  void TakeAll(Place place);
  size_t FileCount() const { return fileCount_; }

 private:
  std::map<std::pair<uint32_t, uint64_t>, Group> groups_;
  size_t fileCount_ = 0;
};

template <typename Place>
void FatDeepPendingFiles::PlaceExact(const FatDeepVolumes& volumes, Place place) {
  for (auto it = groups_.begin(); it != groups_.end();) {
    Group& group = it->second;
    int placedBy = FatDeepVolumes::kNone;
    for (size_t v = group.volumesTried; v < volumes.Count() && placedBy == FatDeepVolumes::kNone;
         ++v) {
      uint64_t sector = 0;
      if (volumes[static_cast<int>(v)].SectorOfCluster(group.directory, sector) &&
          sector == group.blockSector) {
        placedBy = static_cast<int>(v);
      }
    }
    group.volumesTried = volumes.Count();
    if (placedBy == FatDeepVolumes::kNone) {
      ++it;
      continue;
    }
    fileCount_ -= group.files.size();
    Group placed = std::move(group);
    it = groups_.erase(it);
    place(placed, placedBy);
  }
}

template <typename Place>
void FatDeepPendingFiles::TakeAll(Place place) {
  auto groups = std::move(groups_);
  groups_.clear();
  fileCount_ = 0;
  for (auto& [key, group] : groups) place(group);
}

}  // namespace salvora
