#pragma once
// Where a FAT volume's clusters lie when nothing but its directories is left:
// the cluster size and the sector of cluster 2. Volumes come from the boot
// sector or are inferred from two subdirectories whose "." entries name
// their own clusters.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace salvora {

// Where no boot sector tells otherwise, a FAT12/16 root directory is taken
// to fill the 32 sectors just before cluster 2 (512 entries).
constexpr uint32_t kFixedRootSectors = 32;

struct FatDeepVolume {
  int32_t sectorsPerCluster = 0;
  uint32_t dataOffset = 0;                   // sectors from volumeStart to cluster 2
  uint64_t volumeStart = 0;                  // absolute
  uint32_t rootSectors = kFixedRootSectors;  // fixed root area; 0 on FAT32
  // Cluster numbers above 0xFFFF exist; false only for a volume known to be
  // FAT12/16, whose entries carry no high cluster word.
  bool wideClusters = true;
  uint64_t ClusterTwoSector() const { return volumeStart + dataOffset; }
  // Absolute first sector of `cluster`; cluster 0 is the fixed root area.
  bool SectorOfCluster(uint32_t cluster, uint64_t& sector) const;
  // The cluster whose first sector is `sector`; every sector of the fixed
  // root area counts as cluster 0, since that area has no clusters.
  bool ClusterStartingAt(uint64_t sector, uint32_t& cluster) const;
  // The cluster that holds `sector` (0 in the root area).
  bool ClusterHolding(uint64_t sector, uint32_t& cluster) const;
  bool operator==(const FatDeepVolume&) const = default;
};

bool IsClusterSizeInSectors(uint64_t value);

// Two subdirectory starts (a directory's own cluster and the absolute sector
// of its "." entry) of one volume fix its cluster size and the sector of
// cluster 2. False when the pair cannot lie on one volume.
struct DirectoryStart {
  uint32_t cluster = 0;
  uint64_t sector = 0;
};
bool InferVolume(const DirectoryStart& x, const DirectoryStart& y, uint64_t partitionStart,
                 FatDeepVolume& out);

// The volumes known to one sweep, in the order they were found.
class FatDeepVolumes {
 public:
  static constexpr int kNone = -1;

  void Clear();
  void AddBootVolume(const FatDeepVolume& volume);
  size_t Count() const { return volumes_.size(); }
  const FatDeepVolume& operator[](int index) const { return volumes_[index]; }

  // The first volume in which `cluster` starts exactly at `sector`.
  int FindStart(uint32_t cluster, uint64_t sector) const;
  // Remembers a start that no volume explains and pairs it with the starts
  // remembered before; returns the volume it yields, or kNone.
  int LearnFromStart(const DirectoryStart& start, uint64_t partitionStart);
  // The first volume in which a cluster (or the root area) starts at
  // `sector`, with that cluster. Volumes learnt from the disk's own
  // directories come before the boot volume: a sector that merely lines up
  // with clusters is weak evidence, and a boot sector written by a later
  // format describes none of the older directories.
  int FindClusterStart(uint64_t sector, uint32_t& cluster) const;
  bool IsBootVolume(int index) const { return hasBootVolume_ && index == 0; }
  // The volume whose cluster 2 lies closest before `sector`; when several
  // are known the boot volume is passed over, since a reformatted disk's new
  // boot sector does not describe the old directories.
  int Nearest(uint64_t sector) const;

 private:
  std::vector<FatDeepVolume> volumes_;
  std::deque<DirectoryStart> starts_;
  bool hasBootVolume_ = false;
};

}  // namespace salvora
