#include "preview/ArchiveSource.h"

#include <archive.h>

namespace salvora::preview {

int ArchiveSource::OpenInto(archive* reader) const {
  if (data) return archive_read_open_memory(reader, data, size);
  return archive_read_open_filename(reader, path.c_str(), 64 * 1024);
}

ArchivePtr NewArchiveReader() { return ArchivePtr(archive_read_new(), archive_read_free); }

}  // namespace salvora::preview
