// One directory block from the fuzzer. The first byte picks the layout:
// bit 0 entries with file types, bits 1-3 the block size (1 KiB << n,
// the input cut or padded to it).
#include <algorithm>
#include <cstdint>
#include <vector>

#include "ext/ExtDirectoryBlock.h"
#include "ext/ExtNameText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  salvora::ExtSuperblock sb;
  sb.featureIncompat = (data[0] & 1) ? 0x2 : 0;
  sb.blockSize = 1024u << std::min((data[0] >> 1) & 7, 6);
  sb.inodesCount = 1u << 20;
  std::vector<uint8_t> block(sb.blockSize, 0);
  std::copy(data + 1, data + std::min<size_t>(size, block.size() + 1), block.begin());
  std::vector<salvora::ExtDirEntry> entries;
  salvora::ParseExtDirectoryBlock(sb, block.data(), sb.blockSize, entries);
  for (const auto& entry : entries)
    salvora::ExtNameToUtf8(reinterpret_cast<const uint8_t*>(entry.name.data()), entry.name.size());
  return 0;
}
