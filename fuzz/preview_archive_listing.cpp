// Lists arbitrary bytes as an archive the way the preview helper's `list`
// command does.
#include <cstdint>

#include "preview/ArchiveListing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  salvora::preview::ListArchive(salvora::preview::ArchiveSource::Memory(data, size));
  return 0;
}
