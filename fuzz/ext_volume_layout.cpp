// An ext volume's superblock and group descriptors from the fuzzer: the
// input is the volume from its second KiB on (the superblock first), read
// as the engine reads any volume, then every group's inode table asked for
// the root and the first inodes.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "ext/ExtVolume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kMaxImage = 8u << 20;
  std::vector<uint8_t> image(std::min(kMaxImage, std::max<size_t>(size + 1024, 65536)), 0);
  std::memcpy(image.data() + 1024, data, std::min(size, image.size() - 1024));
  salvora::ExtVolume volume;
  if (volume.Open(std::make_unique<salvora::ExtMemoryBytes>(image.data(), image.size())) != 0)
    return 0;
  for (uint32_t number = 1; number <= 16; ++number) {
    salvora::ExtInode inode;
    std::vector<salvora::ExtRun> runs;
    if (volume.CurrentInode(number, inode)) volume.MapOf(inode, runs);
  }
  uint64_t block = 0, count = 0;
  for (int i = 0; i < 16 && volume.NextFreeBlocks(block, count); ++i) block += count;
  return 0;
}
