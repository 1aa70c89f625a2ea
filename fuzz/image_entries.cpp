// A disk image of any content listed as a disk: the partition table read
// from it, each partition's file system probed, the stretches between laid
// out.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "storage/ImageEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/salvora-fuzz-image-" + std::to_string(::getpid());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    // Room for the partitions a table names, so that they are probed too.
    out.seekp(16 << 20);
    out.put('\0');
  }
  std::vector<salvora::PartitionRecord> entries;
  salvora::ListImageEntries(path, entries);
  return 0;
}
