#pragma once
// The zip container of OOXML and OpenDocument files, read member by member
// through libarchive. The container is opened once and walked forward;
// small XML parts passed on the way are kept, so that reading parts in
// another order than the container's seldom means opening it again (with a
// huge central directory every opening is costly). Everything decompressed
// for one document counts against one byte budget.
#include <archive.h>

#include <cstdint>
#include <memory>
#include <string>

#include "preview/ArchiveSource.h"
#include "preview/ChunkSource.h"

namespace salvora::preview {

class ZipPackage {
 public:
  static constexpr uint64_t kMaxReadBytes = uint64_t{64} << 20;

  explicit ZipPackage(ArchiveSource source, uint64_t maxReadBytes = kMaxReadBytes);

  // Whether the package has a member of this name.
  bool Has(const std::string& name) const;

  struct Cursor;
  // The member's bytes as they are decompressed; an empty source when the
  // member is missing or the package is damaged. Opening another member
  // ends an earlier one that was not kept.
  class Member : public ChunkSource {
   public:
    size_t Read(char* buffer, size_t capacity) override;

   private:
    friend class ZipPackage;
    std::shared_ptr<Cursor> cursor_;
    uint64_t generation_ = 0;
    std::string kept_;
    size_t keptOffset_ = 0;
    bool fromKept_ = false;
  };
  Member Open(const std::string& name) const;

  // A whole member up to `maxBytes` (relationship parts, small XML).
  std::string ReadSmall(const std::string& name, size_t maxBytes) const;

  // How often the container has been opened so far.
  int Openings() const;

 private:
  std::shared_ptr<Cursor> cursor_;
};

}  // namespace salvora::preview
