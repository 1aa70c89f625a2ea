#include "carving/FragmentRecords.h"

#include <algorithm>

namespace salvora {
namespace {

// Each candidate join costs a few reads; it is charged as this many bytes.
constexpr uint64_t kProbeCost = 16;
// Cut points tried inside one record.
constexpr uint64_t kMaxCuts = 4096;

}  // namespace

bool JoinRecord(FragmentSearch& search, RecordFormat& format, PieceList& pieces, uint64_t at) {
  const uint64_t sectorBytes = search.SectorBytes();
  StitchedFile current(search.cache, pieces);
  const uint64_t lastOffset = current.LastPieceOffset();
  if (current.Size() < lastOffset + 2 * sectorBytes) return false;
  const uint64_t spanEnd = format.SpanEnd(current, at) + format.Lookahead();
  const uint64_t firstCut =
      std::max((at + sectorBytes - 1) / sectorBytes * sectorBytes, lastOffset + sectorBytes);
  uint64_t lastCut = std::min(spanEnd - 1, current.Size() - sectorBytes) / sectorBytes * sectorBytes;
  lastCut = std::min(lastCut, firstCut + (kMaxCuts - 1) * sectorBytes);
  if (spanEnd <= at || firstCut > lastCut) return false;
  const uint64_t lastFirst = pieces.back().first;
  PieceList candidate = pieces;
  candidate.push_back({});
  const uint64_t window = kContinuationWindowBytes / sectorBytes;
  for (uint64_t gap = search.clusterSectors; gap <= window; gap += search.clusterSectors) {
    // Cuts that leave the header in the first run and the next record's
    // start in the new one read the same bytes for the cheap checks: they
    // are asked once per gap.
    int shared = -1;
    uint64_t sharedEnd = 0;
    for (uint64_t cut = firstCut; cut <= lastCut; cut += sectorBytes) {
      if (!search.CutFits(cut)) continue;
      const bool headerWhole = cut >= at + format.HeaderBytes();
      if (headerWhole && shared == 0 && cut <= sharedEnd) {
        // Every cut up to the shared end fails alike.
        if (sharedEnd > lastCut) break;
        cut = sharedEnd / sectorBytes * sectorBytes;
        continue;
      }
      const uint64_t kept = (cut - lastOffset) / sectorBytes;
      const uint64_t tail = search.TailSectors(lastFirst + kept + gap);
      if (tail == 0) break;
      if (!search.Spend(kProbeCost) || search.Stopped()) return false;
      candidate[candidate.size() - 2].count = kept;
      candidate.back() = {lastFirst + kept + gap, tail};
      StitchedFile joined(search.cache, candidate);
      // No end known: the header itself is foreign.
      uint64_t end = UINT64_MAX, after = 0;
      const bool plausible = format.Plausible(search, joined, at, end);
      if (headerWhole && shared < 0 && cut <= end) {
        shared = plausible ? 1 : 0;
        sharedEnd = end;
      }
      if (!plausible || end + format.Lookahead() <= cut || !format.Proven(search, joined, at))
        continue;
      // A join that only the next record's first bytes vouch for must carry
      // that whole record too.
      if (end <= cut && !format.Validates(search, joined, end, after)) continue;
      pieces = candidate;
      return true;
    }
    if (search.TailSectors(lastFirst + (firstCut - lastOffset) / sectorBytes + gap) == 0)
      return false;
  }
  return false;
}

Reassembly WalkOutcome(const PieceList& pieces, uint64_t size, uint32_t sectorBytes) {
  Reassembly done;
  if (pieces.size() == 1) {
    done.outcome = FragmentOutcome::kWhole;
    return done;
  }
  uint64_t lastOffset = 0;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) lastOffset += pieces[i].count * sectorBytes;
  done.outcome = FragmentOutcome::kJoined;
  done.pieces = TrimmedTo(pieces, lastOffset, size, sectorBytes);
  done.size = size;
  done.firstRunSectors = pieces.front().count;
  return done;
}

Reassembly DamagedAt(uint64_t firstBreak, uint32_t sectorBytes) {
  Reassembly damaged;
  damaged.outcome = FragmentOutcome::kDamaged;
  damaged.firstRunSectors = std::max<uint64_t>((firstBreak + sectorBytes - 1) / sectorBytes, 1);
  return damaged;
}

}  // namespace salvora
