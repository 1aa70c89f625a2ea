#pragma once
// Where libarchive reads a container from: a file (seekable, so a zip is
// listed from its central directory without touching member data) or bytes
// in memory (fuzz targets).
#include <cstddef>
#include <memory>
#include <string>

struct archive;

namespace salvora::preview {

using ArchivePtr = std::unique_ptr<archive, int (*)(archive*)>;

struct ArchiveSource {
  std::string path;
  const void* data = nullptr;
  size_t size = 0;

  static ArchiveSource File(std::string path) { return {std::move(path), nullptr, 0}; }
  static ArchiveSource Memory(const void* data, size_t size) { return {{}, data, size}; }

  // Opens `reader`, whose formats and filters are already enabled.
  // Returns libarchive's result.
  int OpenInto(archive* reader) const;
};

ArchivePtr NewArchiveReader();

}  // namespace salvora::preview
