#pragma once
// Run lists: how a non-resident attribute says which clusters hold it.
// Each entry is a header byte (low nibble: bytes of the length, high
// nibble: bytes of the signed start delta; no delta bytes means a sparse
// run), then the length, then the delta; a header of 0 ends the list.
#include <cstdint>

#include "ntfs/NtfsGeometry.h"
#include "ntfs/NtfsRecord.h"

namespace salvora {

// Appends the runs of a non-resident attribute. The list is bounded by the
// attribute itself, however long it is. When `runs` already holds runs (an
// earlier piece of the same attribute), the new piece's first start is
// rebased so that the deltas keep counting from one running start. Returns
// 0, or 87 when the list is cut by a malformed entry (the runs decoded
// before it are kept).
int DecodeRunList(const Attribute& attribute, RunList& runs);

// A run with its place: the virtual cluster where it begins and, unless it
// is sparse, the logical cluster on the volume.
struct PlacedRun {
  uint64_t vcn = 0;
  uint64_t lcn = 0;
  uint64_t length = 0;
  bool sparse = false;
};

// Walks a run list from the front, turning deltas into places. Next stops
// at the end, and at a run whose start would fall before cluster 0 or
// overflow (the rest of the list is then untrustworthy).
class RunCursor {
 public:
  explicit RunCursor(const RunList& runs) : runs_(runs) {}
  bool Next(PlacedRun& run);
  // True when Next stopped before the end of the list.
  bool Broken() const { return broken_; }

 private:
  const RunList& runs_;
  size_t index_ = 0;
  uint64_t vcn_ = 0;
  int64_t lcn_ = 0;
  bool broken_ = false;
};

// Clusters covered by all runs, sparse ones included (saturating).
uint64_t RunListClusters(const RunList& runs);

}  // namespace salvora
