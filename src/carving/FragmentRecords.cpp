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
  const uint64_t firstBreak = lastFirst + (firstCut - lastOffset) / sectorBytes;
  PieceList candidate = pieces;
  candidate.push_back({});
  const uint64_t window = kContinuationWindowBytes / sectorBytes;
  for (uint64_t next = firstBreak + 1; next <= firstBreak + window; ++next) {
    const uint64_t tail = search.TailSectors(next);
    if (tail == 0) return false;
    for (uint64_t cut = firstCut; cut <= lastCut; cut += sectorBytes) {
      const uint64_t kept = (cut - lastOffset) / sectorBytes;
      if (lastFirst + kept >= next) break;
      if (!search.Spend(kProbeCost) || search.Stopped()) return false;
      candidate[candidate.size() - 2].count = kept;
      candidate.back() = {next, tail};
      StitchedFile joined(search.cache, candidate);
      uint64_t end = 0, after = 0;
      if (!format.Validates(search, joined, at, end) || end + format.Lookahead() <= cut) continue;
      // A join that only the next record's first bytes vouch for must carry
      // that whole record too.
      if (end <= cut && !format.Validates(search, joined, end, after)) continue;
      pieces = candidate;
      return true;
    }
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
