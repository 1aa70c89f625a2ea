// A jbd2 log from the fuzzer, 1 KiB blocks, its superblock first: walked
// for the copies it holds, and every copy read back.
#include <cstdint>
#include <vector>

#include "ext/ExtJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint32_t kBlock = 1024;
  size_t blocks = (size + kBlock - 1) / kBlock;
  if (blocks < 2 || blocks > 4096) return 0;
  std::vector<uint8_t> log(blocks * kBlock, 0);
  std::copy(data, data + size, log.begin());
  salvora::ExtSuperblock sb;
  sb.blockSize = kBlock;
  sb.blocksCount = blocks + 4096;
  salvora::ExtMemoryBytes bytes(log.data(), log.size());
  std::vector<salvora::ExtRun> runs{{0, 0, blocks, false}};
  salvora::ExtJournal journal;
  if (!journal.Load(bytes, sb, runs)) return 0;
  std::vector<uint8_t> copy(kBlock);
  for (uint64_t block = 0; block < sb.blocksCount; ++block)
    if (const auto* copies = journal.CopiesOf(block))
      for (const auto& c : *copies) journal.ReadCopy(bytes, c, copy.data());
  return 0;
}
