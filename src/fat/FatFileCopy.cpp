#include "fat/FatFileCopy.h"

#include <unordered_set>
#include <vector>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

class ClusterChain {
 public:
  ClusterChain(FatTable* fat, uint32_t lastCluster) : fat_(fat), lastCluster_(lastCluster) {}

  // The cluster after `cluster`; 0 when the volume ends first. A chain that
  // ends early or comes back to a cluster already copied goes on with the
  // next free cluster, where the rest of a deleted file most likely lies.
  int Next(uint32_t cluster, uint32_t& next) {
    next = 0;
    if (!fat_) {
      if (cluster < lastCluster_) next = cluster + 1;
      return kOk;
    }
    int result = fat_->NextCluster(cluster, next);
    if (result != kOk) return result;
    if (next != 0 && !copied_.count(next)) return kOk;
    result = fat_->NextFreeCluster(cluster, next);
    if (result == kOk && copied_.count(next)) next = 0;
    return result;
  }
  void Copied(uint32_t cluster) {
    if (fat_) copied_.insert(cluster);
  }

 private:
  FatTable* fat_;
  uint32_t lastCluster_;
  std::unordered_set<uint32_t> copied_;
};

// Without a FAT the source's end is the only bound: reading stops there.
uint32_t LastClusterOf(FatTable* fat) { return fat ? fat->Layout().MaxCluster() : UINT32_MAX - 1; }

}  // namespace

int CopyFatFile(const FatVolumeReader& volume, FatTable* fat, const FoundRecord& record,
                DataSink& sink) {
  if (record.clusterBytes > kMaxCopyClusterBytes) return kWriteFault;
  uint32_t sectorSize = volume.layout.bytesPerSector;
  if (record.clusterBytes == 0 || record.clusterBytes % sectorSize != 0) return kInvalidParameter;
  if (sink.Full()) return kOk;
  uint32_t sectorsPerCluster = record.clusterBytes / sectorSize;
  uint32_t lastCluster = LastClusterOf(fat);
  uint32_t cluster = record.firstCluster;
  if (cluster < 2 || cluster > lastCluster) return kInvalidParameter;

  // Positions come from the record, which carries its own volume's layout.
  FatVolumeReader recordVolume = volume;
  recordVolume.firstSector = record.volumeFirstSector;
  std::vector<uint8_t> buffer(record.clusterBytes);
  ClusterChain chain(fat, lastCluster);
  while (true) {
    uint64_t sector =
        record.dataAreaSector + static_cast<uint64_t>(cluster - 2) * sectorsPerCluster;
    uint32_t got = 0;
    int readResult = recordVolume.Read(sector, sectorsPerCluster, buffer.data(), got);
    if (got == 0) return readResult != kOk ? readResult : kReadFault;
    int result = sink.Write(buffer.data(), static_cast<size_t>(got) * sectorSize);
    if (result != kOk) return result;
    if (readResult != kOk) return readResult;
    if (sink.Full()) return kOk;
    chain.Copied(cluster);
    result = chain.Next(cluster, cluster);
    if (result != kOk) return result;
    if (cluster == 0) return kReadFault;
  }
}

}  // namespace salvora
