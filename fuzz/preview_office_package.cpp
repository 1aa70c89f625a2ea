// Reads arbitrary bytes as an OOXML or OpenDocument package the way the
// preview helper's `text` command does, expecting each kind in turn.
#include <cstdint>

#include "preview/PackageText.h"

using namespace salvora::preview;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ZipPackage package(ArchiveSource::Memory(data, size));
  for (DocumentKind kind : {DocumentKind::kWord, DocumentKind::kSheet, DocumentKind::kSlides}) PackageText(package, kind);
  return 0;
}
