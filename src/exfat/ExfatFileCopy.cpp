#include "exfat/ExfatFileCopy.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "clusters/FatLayout.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// The stream extension of the record, or what the record alone says when
// that slot was overwritten since the scan: a FAT chain, valid throughout.
ExfatStream StreamOfRecord(const FatVolumeReader& volume, const FoundRecord& record) {
  ExfatStream stream;
  stream.firstCluster = record.firstCluster;
  stream.dataLength = stream.validDataLength = record.fileSize;
  std::vector<uint8_t> sector(volume.layout.bytesPerSector);
  FatVolumeReader absolute = volume;
  absolute.firstSector = 0;
  uint32_t got = 0;
  absolute.Read(record.entrySector, 1, sector.data(), got);
  if (got == 1)
    FindStreamEntry(sector.data(), sector.size(), record.firstCluster, record.fileSize, stream);
  return stream;
}

class ClusterCopy {
 public:
  ClusterCopy(const FatVolumeReader& volume, const FoundRecord& record, const ExfatStream& stream,
              DataSink& sink)
      : volume_(volume),
        record_(record),
        stream_(stream),
        sink_(sink),
        buffer_(record.clusterBytes) {
    volume_.firstSector = record.volumeFirstSector;
  }

  // Copies one cluster's share of the file: what lies below the valid data
  // length from the disk, the rest (and all of a cluster taken by other
  // data since) as zeros.
  int Copy(uint32_t cluster, bool taken) {
    uint64_t done = sink_.Written();
    uint64_t share = std::min<uint64_t>(record_.clusterBytes, sink_.Limit() - done);
    uint64_t readable = stream_.validDataLength > done && !taken
                            ? std::min(share, stream_.validDataLength - done)
                            : 0;
    int readResult = kOk;
    if (readable > 0) {
      uint32_t sectorBytes = volume_.layout.bytesPerSector;
      uint32_t sectors = static_cast<uint32_t>((readable + sectorBytes - 1) / sectorBytes);
      uint64_t sector = record_.dataAreaSector +
                        static_cast<uint64_t>(cluster - 2) * (record_.clusterBytes / sectorBytes);
      uint32_t got = 0;
      readResult = volume_.Read(sector, sectors, buffer_.data(), got);
      if (got == 0) return readResult != kOk ? readResult : kReadFault;
      if (got < sectors) {
        share = std::min<uint64_t>(share, static_cast<uint64_t>(got) * sectorBytes);
        if (readResult == kOk) readResult = kReadFault;
      }
    }
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(readable), buffer_.end(), 0);
    int result = sink_.Write(buffer_.data(), static_cast<size_t>(share));
    return result != kOk ? result : readResult;
  }
  // Whether the rest of the file lies past its valid length: no cluster
  // needs reading (or to be found) any more.
  bool OnlyZerosLeft() const { return sink_.Written() >= stream_.validDataLength; }

 private:
  FatVolumeReader volume_;
  const FoundRecord& record_;
  ExfatStream stream_;
  DataSink& sink_;
  std::vector<uint8_t> buffer_;
};

}  // namespace

int CopyExfatFile(const FatVolumeReader& volume, FatTable& fat, const ClusterUsageMap* bitmap,
                  const FoundRecord& record, DataSink& sink) {
  if (record.clusterBytes > kMaxCopyClusterBytes) return kWriteFault;
  const FatLayout& layout = volume.layout;
  if (record.clusterBytes == 0 || record.clusterBytes % layout.bytesPerSector != 0)
    return kInvalidParameter;
  if (sink.Full()) return kOk;
  uint64_t heapBytes = static_cast<uint64_t>(layout.clusterCount) * record.clusterBytes;
  if (record.fileSize > heapBytes) return kInvalidParameter;
  ExfatStream stream = StreamOfRecord(volume, record);
  ExfatClusterChain chain(fat, bitmap, stream, true);
  bool taken = false;
  int result = chain.Start(taken);
  if (result != kOk) return result;
  ClusterCopy copy(volume, record, stream, sink);
  // Clusters that other data holds now are left as zeros, so that what
  // survives keeps its place in the file, and the copy ends reported as
  // damaged rather than passing for whole.
  bool damaged = false;
  uint32_t cluster = record.firstCluster;
  while (true) {
    damaged = damaged || taken;
    result = copy.Copy(cluster, taken);
    if (result != kOk) return result;
    if (sink.Full()) return damaged ? kFileCorrupt : kOk;
    if (!copy.OnlyZerosLeft()) {
      result = chain.Next(cluster, cluster, taken);
      if (result != kOk) return result;
      if (cluster == 0) return kReadFault;
    }
  }
}

}  // namespace salvora
