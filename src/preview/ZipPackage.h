#pragma once
// The zip container of OOXML and OpenDocument files, read member by member
// through libarchive.
#include <archive.h>

#include <string>

#include "preview/ArchiveSource.h"
#include "preview/ChunkSource.h"

namespace salvora::preview {

class ZipPackage {
 public:
  explicit ZipPackage(ArchiveSource source) : source_(std::move(source)) {}

  // Whether the package has a member of this name.
  bool Has(const std::string& name) const;

  // The member's bytes as they are decompressed; an empty source when the
  // member is missing or the package is damaged.
  class Member : public ChunkSource {
   public:
    size_t Read(char* buffer, size_t capacity) override;

   private:
    friend class ZipPackage;
    Member() : reader_(nullptr, archive_read_free) {}
    ArchivePtr reader_;
  };
  Member Open(const std::string& name) const;

  // A whole member up to `maxBytes` (relationship parts, small XML).
  std::string ReadSmall(const std::string& name, size_t maxBytes) const;

 private:
  ArchivePtr Find(const std::string& name) const;
  ArchiveSource source_;
};

}  // namespace salvora::preview
