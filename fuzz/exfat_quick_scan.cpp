// A small exFAT volume whose FAT, bitmap, folders and data come from the
// fuzzer, scanned by the quick exFAT engine, every find recovered and the
// free space enumerated. The boot region is sound (so that inputs reach the
// walk); the root holds its bitmap entry unless the input overwrites it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "QuickEngineRun.h"
#include "exfat/FastExfatRecovery.h"
#include "storage/VolumeClass.h"

namespace {

constexpr size_t kSector = 512;
constexpr uint32_t kVolumeSectors = 512;
constexpr uint32_t kFatOffset = 24, kFatLength = 8, kHeapOffset = 32, kClusters = 480;
constexpr uint32_t kBitmapCluster = 2, kUpcaseCluster = 3, kRootCluster = 4;

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

size_t ClusterOffset(uint32_t cluster) { return (kHeapOffset + cluster - 2) * kSector; }

void WriteBootRegion(uint8_t* region) {
  uint8_t* s = region;
  const uint8_t jump[] = {0xEB, 0x76, 0x90};
  std::memcpy(s, jump, sizeof jump);
  std::memcpy(s + 3, "EXFAT   ", 8);
  Put32(s + 72, kVolumeSectors);
  Put32(s + 80, kFatOffset);
  Put32(s + 84, kFatLength);
  Put32(s + 88, kHeapOffset);
  Put32(s + 92, kClusters);
  Put32(s + 96, kRootCluster);
  s[104] = 0x00;
  s[105] = 0x01;
  s[108] = 9;
  s[110] = 1;
  s[510] = 0x55;
  s[511] = 0xAA;
  uint32_t sum = salvora::ExfatBootChecksum(region, kSector);
  for (size_t at = 0; at < kSector; at += 4) Put32(region + 11 * kSector + at, sum);
}

std::vector<uint8_t> BuildImage(const uint8_t* data, size_t size) {
  std::vector<uint8_t> image(kVolumeSectors * kSector, 0);
  WriteBootRegion(image.data());
  std::memcpy(image.data() + 12 * kSector, image.data(), 12 * kSector);
  uint8_t* fat = image.data() + kFatOffset * kSector;
  Put32(fat, 0xFFFFFFF8);
  for (uint32_t entry : {1u, kBitmapCluster, kUpcaseCluster, kRootCluster})
    Put32(fat + 4 * entry, 0xFFFFFFFF);
  image[ClusterOffset(kBitmapCluster)] = 0x07;
  uint8_t* root = image.data() + ClusterOffset(kRootCluster);
  root[0] = 0x83;
  root[32] = 0x81;
  Put32(root + 32 + 20, kBitmapCluster);
  Put32(root + 32 + 24, kClusters / 8);
  root[64] = 0x82;
  Put32(root + 64 + 20, kUpcaseCluster);
  if (size == 0) return image;
  // Bit 0 of the first byte: the input starts at the FAT (and may rewrite
  // every structure); otherwise it continues the root after those entries.
  size_t start = (data[0] & 1) ? kFatOffset * kSector : ClusterOffset(kRootCluster) + 96;
  ++data, --size;
  std::memcpy(image.data() + start, data, std::min(size, image.size() - start));
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  salvora::fuzz::RunQuickEngine<salvora::CFastExfatRecovery>(BuildImage(data, size));
  return 0;
}
