#pragma once
// The listing of an archive: a line of 19 hyphens, then one line per member
// with its size, date and name. Only headers are read; a listing stops after
// kMaxListedMembers members, and where passing a member would mean
// decompressing it, after kMaxSkippedBytes of member data, so that an archive
// built to explode stays cheap to list.
#include <cstddef>
#include <cstdint>

#include "preview/ArchiveSource.h"
#include "preview/HelperResult.h"

namespace salvora::preview {

constexpr size_t kMaxListedMembers = 20000;
constexpr uint64_t kMaxSkippedBytes = uint64_t{256} << 20;
// The line the listing starts with; readers look for it.
constexpr const char* kListingSeparator = "-------------------";

HelperResult ListArchive(const ArchiveSource& source);

}  // namespace salvora::preview
