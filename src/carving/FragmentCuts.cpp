#include "carving/FragmentCuts.h"

#include <algorithm>

#include "carving/StitchedFile.h"

namespace salvora {

CutWindow CutWindowOf(uint64_t goodUntil, uint64_t faultAt, uint64_t faultEnd, uint64_t lastOffset,
                      uint64_t size, uint32_t sectorBytes, uint64_t maxSectors) {
  const uint64_t sb = sectorBytes;
  if (faultEnd == 0 || size < 2 * sb) return {};
  CutWindow window;
  window.low = (std::max(goodUntil, lastOffset + sb) + sb - 1) / sb * sb;
  window.high = std::min(faultEnd - 1, size - sb) / sb * sb;
  if (window.high < window.low) return {};
  if ((window.high - window.low) / sb > maxSectors) window.low = window.high - maxSectors * sb;
  window.probe = std::clamp(faultAt / sb * sb, window.low, window.high);
  return window;
}

PieceList WithContinuation(const FragmentSearch& search, const PieceList& pieces,
                           uint64_t lastOffset, uint64_t cut, uint64_t gap) {
  const uint32_t sb = search.SectorBytes();
  const uint64_t next = pieces.back().first + (cut - lastOffset) / sb + gap;
  return JoinedAt(pieces, lastOffset, cut, sb, next, search.TailSectors(next));
}

CutWindow NarrowedWindow(CutWindow window, const PieceList& pieces, uint64_t lastOffset,
                         uint64_t gap, uint32_t sectorBytes, const ForeignSector& foreign) {
  const uint64_t sb = sectorBytes;
  auto runSector = [&](uint64_t offset) { return pieces.back().first + (offset - lastOffset) / sb; };
  for (uint64_t at = window.low; at < window.high; at += sb) {
    if (foreign(runSector(at), at)) {
      window.high = at;
      break;
    }
  }
  for (uint64_t at = window.high; at > window.low; at -= sb) {
    if (foreign(runSector(at - sb) + gap, at - sb)) {
      window.low = at;
      break;
    }
  }
  return window;
}

uint64_t MostAlignedCut(CutWindow window) {
  if (window.Empty()) return 0;
  for (int bit = 63; bit >= 0; --bit) {
    const uint64_t aligned = window.high >> bit << bit;
    if (aligned >= window.low && aligned != 0) return aligned;
  }
  return 0;
}

}  // namespace salvora
