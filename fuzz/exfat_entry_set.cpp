// Arbitrary slots handed to the exFAT entry-set parser: as one directory
// read in two pieces (split where the first byte says), as a sweep that
// passes over end marks, and slot by slot to the parser and to the search
// for a record's stream extension.
#include <cstdint>
#include <cstring>
#include <vector>

#include "exfat/ExfatEntrySet.h"
#include "exfat/ExfatSlotWindow.h"

namespace {

size_t Consume(const salvora::ExfatEntrySet& set) {
  return set.name.size() + static_cast<size_t>(set.stream.dataLength & 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t split = (data[0] * salvora::kExfatSlotBytes) % size;
  ++data, --size;
  split = split < size ? split : size;
  size_t sink = 0;
  for (bool walk : {true, false}) {
    salvora::ExfatSlotWindow window(walk);
    auto onSet = [&](const salvora::ExfatEntrySet& set, uint64_t) { sink += Consume(set); };
    window.Append(data, split, 100, 512);
    window.Drain(false, onSet);
    window.Append(data + split, size - split, 200, 512);
    window.Drain(true, onSet);
  }
  size_t slots = size / salvora::kExfatSlotBytes;
  for (size_t slot = 0; slot < slots; ++slot) {
    salvora::ExfatEntrySet set;
    if (salvora::ParseEntrySet(data + slot * salvora::kExfatSlotBytes, slots - slot, set))
      sink += Consume(set);
  }
  salvora::ExfatStream stream;
  if (size >= 8) {
    uint32_t cluster;
    std::memcpy(&cluster, data, 4);
    sink += salvora::FindStreamEntry(data, size, cluster, cluster, stream);
  }
  return sink == SIZE_MAX ? 1 : 0;
}
