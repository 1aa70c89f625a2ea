#pragma once
// Where inside a window of sectors a break lies, for formats whose checks
// pin it only between two reads that held and failed: sectors that cannot
// be the file's narrow the window, and what remains is settled the way
// file systems place breaks, at cluster boundaries, which are the most
// aligned offsets of the file.
#include <cstdint>
#include <functional>

#include "carving/FragmentReassembly.h"

namespace salvora {

// Sector boundaries (file offsets) that a cut may lie at, both included.
struct CutWindow {
  uint64_t low = 0, high = 0;
  // The cut continuations are tried at: the failed read then comes from
  // the continuation whole, where the window allows.
  uint64_t probe = 0;
  bool Empty() const { return high < low || high == 0; }
};

// After the last read that held (ending at `goodUntil`) and before the end
// of the one that failed (`faultAt` to `faultEnd`); never before the last
// run's first sector ends, and at most `maxSectors` wide (the sectors
// nearest the failed read).
CutWindow CutWindowOf(uint64_t goodUntil, uint64_t faultAt, uint64_t faultEnd, uint64_t lastOffset,
                      uint64_t size, uint32_t sectorBytes, uint64_t maxSectors);

// The pieces with the last run (from file offset `lastOffset`) cut at
// `cut` and a continuation `gap` sectors past where it would have gone on;
// the new run is empty past the source.
PieceList WithContinuation(const FragmentSearch& search, const PieceList& pieces,
                           uint64_t lastOffset, uint64_t cut, uint64_t gap);

// Whether the sector at `absoluteSector`, read for file offset `offset`,
// cannot be the file's.
using ForeignSector = std::function<bool(uint64_t absoluteSector, uint64_t offset)>;

// The window without the cuts that would put a foreign sector inside the
// file: one the last run holds lies in the gap, so the cut is not after
// it, and so does one read from the continuation, so the cut is after it.
CutWindow NarrowedWindow(CutWindow window, const PieceList& pieces, uint64_t lastOffset,
                         uint64_t gap, uint32_t sectorBytes, const ForeignSector& foreign);

// The cut with the most trailing zero bits in the window; 0 when empty.
uint64_t MostAlignedCut(CutWindow window);

}  // namespace salvora
