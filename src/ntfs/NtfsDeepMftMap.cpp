#include "ntfs/NtfsDeepMftMap.h"

#include "ntfs/NtfsRunList.h"

namespace salvora {
namespace {

// a * b + c, false on overflow.
bool MulAdd(uint64_t a, uint64_t b, uint64_t c, uint64_t& out) {
  uint64_t product;
  return !__builtin_mul_overflow(a, b, &product) && !__builtin_add_overflow(product, c, &out);
}

// Sector offset of virtual sector `target` from the volume start, through
// the first run that holds it.
bool OffsetInRuns(const RunList& runs, uint64_t target, uint64_t sectorsPerCluster,
                  uint64_t& offset) {
  RunCursor cursor(runs);
  PlacedRun run;
  while (cursor.Next(run)) {
    uint64_t first, end;
    if (!MulAdd(run.vcn, sectorsPerCluster, 0, first) ||
        !MulAdd(run.length, sectorsPerCluster, first, end))
      return false;
    if (target < first || target >= end) continue;
    return !run.sparse && MulAdd(run.lcn, sectorsPerCluster, target - first, offset);
  }
  return false;
}

}  // namespace

bool LocateRecord(const MftPlace& place, uint64_t number, int32_t sectorsPerRecord,
                  int32_t sectorsPerCluster, uint64_t& sector) {
  if (!place.known || sectorsPerRecord <= 0 || sectorsPerCluster <= 0) return false;
  uint64_t target = number * static_cast<uint64_t>(sectorsPerRecord);
  if (place.runs.empty()) return !__builtin_add_overflow(place.contiguousStart, target, &sector);
  uint64_t offset;
  return OffsetInRuns(place.runs, target, static_cast<uint64_t>(sectorsPerCluster), offset) &&
         !__builtin_add_overflow(place.volumeStart, offset, &sector);
}

MftPlace MftMap::Locate(uint64_t sector, uint64_t number, int32_t sectorsPerRecord,
                        int32_t sectorsPerCluster, uint64_t partitionStart) const {
  const uint64_t target = number * static_cast<uint64_t>(sectorsPerRecord);
  const uint64_t perCluster = sectorsPerCluster > 0 ? static_cast<uint64_t>(sectorsPerCluster) : 1;
  for (const auto& [mftStart, runs] : entries_) {
    if (runs.empty() || runs.front().sparse || runs.front().delta < 0) continue;
    uint64_t firstRun;
    if (!MulAdd(static_cast<uint64_t>(runs.front().delta), perCluster, 0, firstRun) ||
        firstRun > mftStart)
      continue;
    uint64_t volumeStart = firstRun == 0 ? partitionStart : mftStart - firstRun;
    uint64_t offset;
    if (OffsetInRuns(runs, target, perCluster, offset) && mftStart - firstRun + offset == sector)
      return {volumeStart, runs, 0, true};
  }
  // No known MFT predicts the record: a contiguous MFT holds it, and its
  // record 0 lies `target` sectors before it.
  MftPlace place;
  place.volumeStart = partitionStart;
  place.known = sector >= target;
  place.contiguousStart = place.known ? sector - target : 0;
  return place;
}

}  // namespace salvora
