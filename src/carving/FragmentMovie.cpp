// MP4, MOV and their kin in several runs. The sample tables say where
// every video sample lies from the file's start, and each such sample
// must be tiled by its NAL units: the first sample that is not marks the
// break, and the continuation is the gap after which every later sample
// (and the boxes that follow the media data) holds again. When the movie
// box comes after the media data it lies past the break, so the gap that
// puts it where the media box's size says is sought first.
//
// Samples pin the break only to the bytes between two checked reads. A
// sector there that cannot be compressed data, or that breaks the rule
// every NAL unit's payload keeps, marks where the foreign data starts or
// ends; without one, the break is taken where a file system's clusters
// would put it, at the most aligned offset, and the file is marked as
// one whose content may not be whole.
#include <algorithm>
#include <vector>

#include "carving/FragmentCuts.h"
#include "carving/FragmentRecords.h"
#include "carving/MovieSamples.h"

namespace salvora {
namespace {

// Each candidate gap costs a few reads; it is charged as this many bytes.
constexpr uint64_t kProbeCost = 16;
// A continuation that breaks again must first hold this many checks.
constexpr size_t kChecksToFollow = 3;
// Movies larger than this are first checked a sample per stride.
constexpr uint64_t kSparseFrom = 16 << 20;
constexpr uint64_t kSparseStride = 1 << 20;
// The smallest cluster cards are formatted with.
constexpr uint64_t kSmallCluster = 4096;
// The sectors between two checked reads looked at for foreign data.
constexpr uint64_t kMaxCutSectors = 4096;

class MovieSearch {
 public:
  explicit MovieSearch(FragmentSearch& search)
      : search_(search), sectorBytes_(search.SectorBytes()), sector_(sectorBytes_) {}

  Reassembly Run();

 private:
  bool Join(PieceList& pieces, const MovieLayout& layout, const CheckResult& broken);
  bool JoinSamples(PieceList& pieces, const MovieLayout& layout, const CheckResult& broken);
  CutWindow WindowOf(const CheckResult& broken, uint64_t lastOffset, uint64_t size) const {
    return CutWindowOf(broken.goodUntil, broken.faultAt, broken.faultEnd, lastOffset, size,
                       sectorBytes_, kMaxCutSectors);
  }
  PieceList Candidate(const PieceList& pieces, uint64_t lastOffset, uint64_t cut,
                      uint64_t gap) const {
    return WithContinuation(search_, pieces, lastOffset, cut, gap);
  }
  uint64_t ChooseCut(CutWindow window, const CheckResult& broken, const PieceList& pieces,
                     uint64_t lastOffset, uint64_t gap);
  bool Foreign(uint64_t absoluteSector, uint64_t offset, const CheckResult& broken);
  bool GaveUp() const { return search_.Stopped() || search_.workLeft == 0; }

  FragmentSearch& search_;
  const uint32_t sectorBytes_;
  std::vector<uint8_t> sector_;
  bool choiceOpen_ = false;  // the last cut chosen was one of several
  bool uncertain_ = false;   // a join kept such a cut
};

Reassembly MovieSearch::Run() {
  PieceList pieces{{search_.startSector, search_.TailSectors(search_.startSector)}};
  uint64_t firstBreak = 0;
  for (;;) {
    StitchedFile file(search_.cache, pieces);
    MovieLayout layout;
    if (!ReadMovieLayout(file, search_.workLeft, layout) || GaveUp()) return {};
    // A large movie is first looked at sparsely: when its end has not moved
    // and the checks on the way hold, it lies in one run.
    if (pieces.size() == 1 && layout.end > kSparseFrom && layout.judgeable) {
      CheckResult sparse = CheckMovie(file, layout, 0, search_.workLeft, kSparseStride);
      if (sparse.outOfWork || GaveUp()) return {};
      if (sparse.failed == SIZE_MAX) return WalkOutcome(pieces, layout.end, sectorBytes_);
    }
    CheckResult broken = CheckMovie(file, layout, 0, search_.workLeft);
    if (broken.outOfWork || GaveUp()) return {};
    if (broken.failed == SIZE_MAX) {
      if (!layout.judgeable) return {};
      Reassembly done = WalkOutcome(pieces, layout.end, sectorBytes_);
      done.uncertain = uncertain_;
      return done;
    }
    if (firstBreak == 0) firstBreak = std::max<uint64_t>(broken.goodUntil, 1);
    if (pieces.size() >= kMaxFilePieces || !Join(pieces, layout, broken)) {
      if (GaveUp()) return {};
      // Nothing to say about a file whose samples cannot be checked and
      // whose boxes all lie where they should.
      if (!layout.judgeable && layout.walkFault == 0) return {};
      return DamagedAt(firstBreak, sectorBytes_);
    }
  }
}

bool MovieSearch::Join(PieceList& pieces, const MovieLayout& layout, const CheckResult& broken) {
  if (layout.movieAt != 0 && layout.judgeable) return JoinSamples(pieces, layout, broken);
  // The movie box lies past the break: each gap that puts one where the
  // walk needs a box gives tables to judge the samples by.
  StitchedFile current(search_.cache, pieces);
  const uint64_t lastOffset = current.LastPieceOffset();
  const CutWindow window = WindowOf(broken, lastOffset, current.Size());
  if (window.Empty()) return false;
  const uint64_t gaps = kContinuationWindowBytes / sectorBytes_;
  for (uint64_t gap = search_.clusterSectors; gap <= gaps; gap += search_.clusterSectors) {
    if (!search_.Spend(kProbeCost) || search_.Stopped()) return false;
    PieceList candidate = Candidate(pieces, lastOffset, window.probe, gap);
    if (candidate.back().count == 0) return false;
    MovieLayout found;
    if (!ReadMovieLayout(StitchedFile(search_.cache, candidate), search_.workLeft, found))
      return false;
    if (found.movieAt == 0 || !found.judgeable) continue;
    CheckResult inRun = CheckMovie(current, found, 0, search_.workLeft);
    if (inRun.outOfWork) return false;
    if (inRun.failed != SIZE_MAX && JoinSamples(pieces, found, inRun)) return true;
    if (GaveUp()) return false;
  }
  return false;
}

bool MovieSearch::JoinSamples(PieceList& pieces, const MovieLayout& layout,
                              const CheckResult& broken) {
  StitchedFile current(search_.cache, pieces);
  const uint64_t lastOffset = current.LastPieceOffset();
  const CutWindow window = WindowOf(broken, lastOffset, current.Size());
  if (window.Empty()) return false;
  size_t firstAfterCut = broken.failed;
  while (firstAfterCut < layout.checks.size() && layout.checks[firstAfterCut].offset < window.probe)
    ++firstAfterCut;
  const bool mayBreakAgain = pieces.size() + 1 < kMaxFilePieces;
  const uint64_t gaps = kContinuationWindowBytes / sectorBytes_;
  for (uint64_t gap = search_.clusterSectors; gap <= gaps; gap += search_.clusterSectors) {
    if (!search_.Spend(kProbeCost) || search_.Stopped()) return false;
    PieceList candidate = Candidate(pieces, lastOffset, window.probe, gap);
    if (candidate.back().count == 0) return false;
    CheckResult after = CheckMovie(StitchedFile(search_.cache, candidate), layout, broken.failed,
                                   search_.workLeft);
    if (after.outOfWork) return false;
    const bool whole = after.failed == SIZE_MAX;
    if (!whole && !(mayBreakAgain && after.failed >= firstAfterCut + kChecksToFollow)) continue;
    const uint64_t cut = ChooseCut(window, broken, pieces, lastOffset, gap);
    if (cut == 0) continue;
    if (cut != window.probe) {
      candidate = Candidate(pieces, lastOffset, cut, gap);
      CheckResult again = CheckMovie(StitchedFile(search_.cache, candidate), layout, broken.failed,
                                     search_.workLeft);
      if (again.outOfWork) return false;
      if (again.failed != after.failed) continue;
    }
    pieces = candidate;
    uncertain_ = uncertain_ || choiceOpen_;
    return true;
  }
  return false;
}

uint64_t MovieSearch::ChooseCut(CutWindow window, const CheckResult& broken,
                                const PieceList& pieces, uint64_t lastOffset, uint64_t gap) {
  CutWindow narrowed = NarrowedWindow(
      window, pieces, lastOffset, gap, sectorBytes_,
      [&](uint64_t sector, uint64_t offset) { return Foreign(sector, offset, broken); });
  // Clusters are 4 KiB or more: two such boundaries left open leave a
  // choice the checks did not make.
  const uint64_t cut = MostAlignedCut(narrowed);
  const uint64_t cluster = std::max(kSmallCluster, search_.clusterSectors * sectorBytes_);
  choiceOpen_ = narrowed.high / cluster > (narrowed.low + cluster - 1) / cluster;
  return GaveUp() || !search_.CutFits(cut) ? 0 : cut;
}

// Whether the sector read for file offset `offset` cannot be the file's.
bool MovieSearch::Foreign(uint64_t absoluteSector, uint64_t offset, const CheckResult& broken) {
  if (!search_.Spend(sectorBytes_) ||
      !search_.cache.Read(absoluteSector * sectorBytes_, sectorBytes_, sector_.data()))
    return false;
  if (IsFillOrText(sector_.data(), sectorBytes_)) return true;
  const uint64_t from = std::max(offset, broken.goodUntil) - offset;
  const uint64_t to = std::min(offset + sectorBytes_, std::max(broken.payloadEnd, offset)) - offset;
  for (uint64_t i = from; i + 2 < to; ++i)
    if (sector_[i] == 0 && sector_[i + 1] == 0 && sector_[i + 2] < 3) return true;
  return false;
}

}  // namespace

Reassembly ReassembleMovie(FragmentSearch& search) { return MovieSearch(search).Run(); }

}  // namespace salvora
