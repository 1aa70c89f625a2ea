#pragma once
// Which MFT a FILE record found anywhere on a disk belongs to. Every MFT
// whose record 0 the sweep met is known by the sector of that record and
// its runs; a record belongs to the MFT whose runs put it exactly where it
// was found. Records of no known MFT are taken to lie in a contiguous MFT.
#include <cstdint>
#include <map>

#include "ntfs/NtfsGeometry.h"

namespace salvora {

// Where one volume's MFT lies.
struct MftPlace {
  uint64_t volumeStart = 0;      // absolute sector of the volume's cluster 0
  RunList runs;                  // the MFT's runs; empty for a contiguous MFT
  uint64_t contiguousStart = 0;  // absolute sector of record 0 of a contiguous MFT
  bool known = true;             // false when the record's place says nothing
};

// Absolute sector of FILE record `number` in `place` with clusters of
// `sectorsPerCluster` sectors; false when no run holds it.
bool LocateRecord(const MftPlace& place, uint64_t number, int32_t sectorsPerRecord,
                  int32_t sectorsPerCluster, uint64_t& sector);

class MftMap {
 public:
  void Clear() { entries_.clear(); }
  // Record 0 of an MFT found at absolute `sector`, with its runs. Every
  // record found is looked up in every MFT known, so a disk strewn with
  // copies of "$MFT" records cannot make the map grow without end.
  void Enter(uint64_t sector, const RunList& runs) {
    if (entries_.size() < kMaxMfts || entries_.count(sector)) entries_[sector] = runs;
  }
  static constexpr size_t kMaxMfts = 256;
  // The MFT that puts record `number` at `sector`; else a contiguous MFT
  // holding it on the volume that starts at `partitionStart`.
  MftPlace Locate(uint64_t sector, uint64_t number, int32_t sectorsPerRecord,
                  int32_t sectorsPerCluster, uint64_t partitionStart) const;
  size_t Size() const { return entries_.size(); }

 private:
  std::map<uint64_t, RunList> entries_;
};

}  // namespace salvora
