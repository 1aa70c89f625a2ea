#include "exfat/ExfatBitmap.h"

#include <algorithm>

#include "exfat/ExfatClusterChain.h"
#include "exfat/ExfatEntrySet.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

// The bitmap entry comes first in the root (after the label); this much of
// the root holds it on every volume.
constexpr uint32_t kRootHeadBytes = 0x10000;
// Bit 0 of the bitmap flags picks the second bitmap of a two-FAT volume.
constexpr uint8_t kSecondBitmapFlag = 0x01;

bool FindBitmapEntry(const FatVolumeReader& volume, ExfatStream& bitmap) {
  const FatLayout& layout = volume.layout;
  uint32_t sectors = std::max<uint32_t>(
      1, std::min(layout.sectorsPerCluster, kRootHeadBytes / layout.bytesPerSector));
  std::vector<uint8_t> head(static_cast<size_t>(sectors) * layout.bytesPerSector);
  uint32_t got = 0;
  volume.Read(layout.ClusterSector(layout.rootCluster), sectors, head.data(), got);
  size_t bytes = static_cast<size_t>(got) * layout.bytesPerSector;
  for (size_t offset = 0; offset + kExfatSlotBytes <= bytes; offset += kExfatSlotBytes) {
    const uint8_t* slot = head.data() + offset;
    if (slot[0] == kExfatEndOfDirectory) return false;
    if (slot[0] != kExfatBitmapEntry || (slot[1] & kSecondBitmapFlag) != 0) continue;
    bitmap.firstCluster = Le32(slot + 20);
    bitmap.dataLength = bitmap.validDataLength = Le64(slot + 24);
    return true;
  }
  return false;
}

}  // namespace

int ReadExfatBitmap(const FatVolumeReader& volume, FatTable& fat, std::vector<uint8_t>& bits) {
  const FatLayout& layout = volume.layout;
  ExfatStream bitmap;
  if (!FindBitmapEntry(volume, bitmap)) return kInvalidParameter;
  bits.assign((static_cast<size_t>(layout.clusterCount) + 7) / 8, 0);
  for (size_t index = layout.clusterCount; index < bits.size() * 8; ++index)
    bits[index / 8] |= static_cast<uint8_t>(1u << (index % 8));
  uint64_t wanted = std::min<uint64_t>(bitmap.dataLength, bits.size());
  ExfatClusterChain chain(fat, nullptr, bitmap, false);
  bool taken = false;
  int result = chain.Start(taken);
  if (result != kOk) return result;
  std::vector<uint8_t> unit(layout.ClusterBytes());
  uint64_t done = 0;
  for (uint32_t cluster = bitmap.firstCluster; cluster != 0 && done < wanted;) {
    uint64_t left = (wanted - done + layout.bytesPerSector - 1) / layout.bytesPerSector;
    uint32_t sectors = static_cast<uint32_t>(std::min<uint64_t>(layout.sectorsPerCluster, left));
    uint32_t got = 0;
    result = volume.Read(layout.ClusterSector(cluster), sectors, unit.data(), got);
    uint64_t bytes =
        std::min<uint64_t>(static_cast<uint64_t>(got) * layout.bytesPerSector, wanted - done);
    // Bits past the last cluster stay set whatever the file says.
    for (uint64_t i = 0; i < bytes; ++i) bits[done + i] |= unit[i];
    done += bytes;
    if (got < sectors || chain.Next(cluster, cluster, taken) != kOk) break;
  }
  return done > 0 ? kOk : (result != kOk ? result : kReadFault);
}

}  // namespace salvora
