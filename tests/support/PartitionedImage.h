#pragma once
// Images of whole disks as sfdisk partitions them, for the tests of disk
// images that hold a partition table.
#include <cstdint>
#include <string>
#include <vector>

namespace salvora::test {

struct PartitionPlan {
  uint64_t start;  // in 512-byte sectors
  uint64_t sectors;
  std::string type;  // sfdisk's type for the table: "c", "7", or a GPT type GUID
};

// The GPT type of a Windows data partition.
extern const char kGptBasicData[];

// Makes an image of `totalSectors` sectors with an MBR ("dos") or GPT
// ("gpt") table of the planned partitions, all still empty.
void MakePartitionedImage(const std::string& image, const std::string& label, uint64_t totalSectors,
                          const std::vector<PartitionPlan>& plan);
// Formats the partition at `start` FAT32 and copies `files` into its root,
// deleting those named in `deleted` again.
void FillFat32Partition(const std::string& image, const PartitionPlan& partition,
                        const std::vector<std::string>& files,
                        const std::vector<std::string>& deleted);

}  // namespace salvora::test
