#include <gtest/gtest.h>

#include "fat/FatDeepChains.h"
#include "fat/FatDeepVolume.h"

namespace salvora {
namespace {

TEST(FatDeepVolumeTest, TwoSubdirectoryStartsGiveClusterSizeAndClusterTwo) {
  FatDeepVolume volume;
  ASSERT_TRUE(InferVolume({10, 2090}, {6, 2058}, 0, volume));
  EXPECT_EQ(volume.sectorsPerCluster, 8);
  EXPECT_EQ(volume.ClusterTwoSector(), 2026u);
  // The order in which the two starts were met does not matter.
  FatDeepVolume swapped;
  ASSERT_TRUE(InferVolume({6, 2058}, {10, 2090}, 0, swapped));
  EXPECT_EQ(swapped, volume);
  // Within a partition the offset counts from the partition's start.
  ASSERT_TRUE(InferVolume({10, 2090}, {6, 2058}, 2000, volume));
  EXPECT_EQ(volume.volumeStart, 2000u);
  EXPECT_EQ(volume.dataOffset, 26u);
}

TEST(FatDeepVolumeTest, PairsThatCannotShareAVolumeYieldNothing) {
  FatDeepVolume volume;
  EXPECT_FALSE(InferVolume({10, 2091}, {6, 2058}, 0, volume));     // 33 sectors over 4 clusters
  EXPECT_FALSE(InferVolume({10, 2070}, {6, 2058}, 0, volume));     // 3 sectors per cluster
  EXPECT_FALSE(InferVolume({10, 2058}, {10, 2090}, 0, volume));    // one cluster, two places
  EXPECT_FALSE(InferVolume({10, 2058}, {6, 2090}, 0, volume));     // higher cluster at lower sector
  EXPECT_FALSE(InferVolume({10, 40}, {6, 8}, 0, volume));          // cluster 2 before sector 0
  EXPECT_FALSE(InferVolume({10, 2090}, {6, 2058}, 2030, volume));  // before the partition
  EXPECT_FALSE(InferVolume({10, 2090}, {1, 2018}, 0, volume));     // cluster 1 is never a directory
}

TEST(FatDeepVolumeTest, SectorsMapToClustersAndTheFixedRootArea) {
  FatDeepVolume volume{8, 2026, 0};
  uint64_t sector = 0;
  ASSERT_TRUE(volume.SectorOfCluster(10, sector));
  EXPECT_EQ(sector, 2090u);
  ASSERT_TRUE(volume.SectorOfCluster(0, sector));
  EXPECT_EQ(sector, 2026u - 32);
  EXPECT_FALSE(volume.SectorOfCluster(1, sector));

  uint32_t cluster = 99;
  EXPECT_TRUE(volume.ClusterStartingAt(2090, cluster));
  EXPECT_EQ(cluster, 10u);
  EXPECT_FALSE(volume.ClusterStartingAt(2091, cluster));
  EXPECT_TRUE(volume.ClusterHolding(2097, cluster));
  EXPECT_EQ(cluster, 10u);
  EXPECT_TRUE(volume.ClusterStartingAt(2000, cluster));  // inside the root area
  EXPECT_EQ(cluster, 0u);
  EXPECT_FALSE(volume.ClusterHolding(2026 - 33, cluster));  // before the root area

  FatDeepVolume fat32{8, 2026, 0, 0};  // no fixed root
  EXPECT_FALSE(fat32.SectorOfCluster(0, sector));
  EXPECT_FALSE(fat32.ClusterHolding(2025, cluster));
}

TEST(FatDeepVolumeTest, StartsAreRememberedUntilAPairExplainsThem) {
  FatDeepVolumes volumes;
  EXPECT_EQ(volumes.LearnFromStart({6, 2058}, 0), FatDeepVolumes::kNone);
  EXPECT_EQ(volumes.LearnFromStart({7, 5000}, 0), FatDeepVolumes::kNone);  // unrelated
  int learnt = volumes.LearnFromStart({10, 2090}, 0);
  ASSERT_EQ(learnt, 0);
  EXPECT_EQ(volumes.FindStart(6, 2058), 0);
  EXPECT_EQ(volumes.FindStart(11, 2098), 0);
  uint32_t cluster = 0;
  EXPECT_EQ(volumes.FindClusterStart(2106, cluster), 0);
  EXPECT_EQ(cluster, 12u);
}

// After a reformat the boot sector describes the new volume, not the old
// directories, so the end of the sweep prefers the volumes found on disk.
TEST(FatDeepVolumeTest, VolumesFoundOnDiskComeBeforeTheBootVolume) {
  FatDeepVolumes volumes;
  volumes.AddBootVolume({4, 102, 0});
  EXPECT_EQ(volumes.Nearest(50), 0);  // alone, the boot volume serves
  volumes.LearnFromStart({6, 2058}, 0);
  volumes.LearnFromStart({10, 2090}, 0);  // cluster 2 at 2026
  volumes.LearnFromStart({6, 5032}, 0);
  volumes.LearnFromStart({10, 5064}, 0);  // cluster 2 at 5000
  ASSERT_EQ(volumes.Count(), 3u);
  EXPECT_EQ(volumes.Nearest(3000), 1);
  EXPECT_EQ(volumes.Nearest(6000), 2);
  EXPECT_EQ(volumes.Nearest(200), 1);  // none precedes: the first candidate
  uint32_t cluster = 0;
  EXPECT_EQ(volumes.FindClusterStart(2106, cluster), 1);  // lines up with both
  EXPECT_EQ(cluster, 12u);
  EXPECT_EQ(volumes.FindClusterStart(106, cluster), 0);  // only the boot volume's
}

TEST(FatDeepVolumeTest, UnplacedSectorsStopGrowingAtTheirBound) {
  FatDeepUnplacedSectors unplaced;
  std::vector<uint8_t> sector(512, 0x41);
  size_t kept = 0;
  for (uint64_t s = 0; s < 40000; ++s) kept += unplaced.Keep(s, sector.data(), sector.size());
  EXPECT_LT(kept, 40000u);
  EXPECT_EQ(unplaced.Count(), kept);
  uint64_t first = 0;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(unplaced.TakeFirst(first, bytes));
  EXPECT_EQ(first, 0u);
  EXPECT_EQ(bytes, sector);
}

}  // namespace
}  // namespace salvora
