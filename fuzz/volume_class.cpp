// Classifies arbitrary first 16 KiB of a volume.
#include <cstdint>
#include <cstring>
#include <vector>

#include "storage/VolumeClass.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> probe(salvora::kProbeBytes, 0);
  std::memcpy(probe.data(), data, size < probe.size() ? size : probe.size());
  salvora::ClassifyVolume(probe.data(), probe.size());
  salvora::IsFatBootSector(data, size);
  salvora::IsNtfsBootSector(data, size);
  return 0;
}
