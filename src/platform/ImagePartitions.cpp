#include "platform/ImagePartitions.h"

#include <blkid/blkid.h>

#include <cstdint>
#include <cstring>

namespace salvora {
namespace {

// Only the two tables disks are partitioned with; libblkid also knows
// tables that a stray sector of data could be taken for.
bool IsDiskTable(blkid_parttable table) {
  const char* type = table ? blkid_parttable_get_type(table) : nullptr;
  return type && (std::strcmp(type, "dos") == 0 || std::strcmp(type, "gpt") == 0);
}

// libblkid counts positions in 512-byte units.
constexpr uint64_t kBlkidUnit = 512;

}  // namespace

bool ListImagePartitions(const std::string& imagePath, std::vector<ImagePartition>& out) {
  out.clear();
  blkid_probe probe = blkid_new_probe_from_filename(imagePath.c_str());
  if (!probe) return false;
  blkid_probe_enable_superblocks(probe, 0);
  blkid_probe_enable_partitions(probe, 1);
  blkid_partlist list = blkid_probe_get_partitions(probe);
  bool found = list && IsDiskTable(blkid_partlist_get_table(list));
  int count = found ? blkid_partlist_numof_partitions(list) : 0;
  for (int i = 0; i < count; ++i) {
    blkid_partition partition = blkid_partlist_get_partition(list, i);
    if (!partition) continue;
    blkid_loff_t start = blkid_partition_get_start(partition);
    blkid_loff_t size = blkid_partition_get_size(partition);
    if (start < 0 || size <= 0 || static_cast<uint64_t>(start) > UINT64_MAX / kBlkidUnit / 2 ||
        static_cast<uint64_t>(size) > UINT64_MAX / kBlkidUnit / 2)
      continue;
    ImagePartition entry;
    entry.number = blkid_partition_get_partno(partition);
    entry.startBytes = static_cast<uint64_t>(start) * kBlkidUnit;
    entry.lengthBytes = static_cast<uint64_t>(size) * kBlkidUnit;
    entry.extendedContainer = blkid_partition_is_extended(partition) != 0;
    out.push_back(entry);
  }
  blkid_free_probe(probe);
  return found;
}

}  // namespace salvora
