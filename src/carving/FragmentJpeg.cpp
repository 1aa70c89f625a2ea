// JPEG pictures in several runs. The picture is decoded until its data
// first stops making sense; the break lies at a sector boundary at or
// before that point (and before the first sector that cannot be
// entropy-coded data at all). Candidate continuations are the sectors
// after the break that can be such data; a join is kept when the whole
// picture then decodes without a fault and ends with its end marker, or,
// for a file of more runs, when the decode gets a good way into the new
// run, where the next break is then sought the same way.
#include <algorithm>
#include <vector>

#include "carving/FragmentReassembly.h"
#include "carving/JpegDecode.h"
#include "carving/StitchedFile.h"

namespace salvora {
namespace {

// Sector boundaries tried as the break, from the bound downwards.
constexpr uint64_t kCutsTried = 8;
// A run between two breaks holds at least this many sectors (a small
// cluster); a continuation must look like picture data that far.
constexpr uint64_t kMiddleRunSectors = 4;
// Continuations followed to a further break, at each break.
constexpr int kFollowedPerBreak = 4;

enum class SectorFit { kForeign, kData, kEnd };

// Whether a sector can hold entropy-coded data: never one byte repeated
// nor plain text, and in a picture of one scan no marker but restarts and
// the end marker (a later scan's tables are markers too).
SectorFit FitOfSector(const uint8_t* bytes, uint32_t length, bool markersAllowed) {
  if (IsFillOrText(bytes, length)) return SectorFit::kForeign;
  if (markersAllowed) return SectorFit::kData;
  for (uint32_t i = 0; i + 1 < length; ++i) {
    if (bytes[i] != 0xFF) continue;
    uint8_t next = bytes[i + 1];
    if (next == 0xD9) return SectorFit::kEnd;
    if (next != 0x00 && next != 0xFF && (next < 0xD0 || next > 0xD7)) return SectorFit::kForeign;
  }
  return SectorFit::kData;
}

class JpegSearch {
 public:
  explicit JpegSearch(FragmentSearch& search)
      : search_(search), sectorBytes_(search.SectorBytes()), sector_(sectorBytes_) {}

  Reassembly Run();

 private:
  bool Extend(PieceList& pieces, const JpegDecodeReport& failed, uint64_t& end);
  void WidenJoin(const PieceList& pieces, uint64_t lastOffset, uint64_t cut, uint64_t next,
                 uint64_t bound, PieceList& joined, JpegDecodeReport& report);
  JpegDecodeReport Decode(const PieceList& pieces, uint64_t maxBytes = kRebuiltFileCapBytes);
  uint64_t BreakBound(const StitchedFile& file, const JpegDecodeReport& failed);
  bool ContinuationFits(uint64_t sector);
  SectorFit FitAt(uint64_t absoluteSector);

  FragmentSearch& search_;
  const uint32_t sectorBytes_;
  std::vector<uint8_t> sector_;
  bool progressive_ = false;
  bool gaveUp_ = false;
  uint64_t firstBound_ = 0;
};

JpegDecodeReport JpegSearch::Decode(const PieceList& pieces, uint64_t maxBytes) {
  StitchedFile file(search_.cache, pieces);
  const bool budgeted = search_.workLeft < maxBytes;
  JpegDecodeReport report = DecodeJpeg(file, budgeted ? search_.workLeft : maxBytes);
  // A decode the budget cut short says nothing about the join.
  bool cutShort = budgeted && !report.clean && report.bytesRead >= search_.workLeft;
  if (!search_.Spend(report.bytesRead) || cutShort || report.unjudged || search_.Stopped())
    gaveUp_ = true;
  return report;
}

SectorFit JpegSearch::FitAt(uint64_t absoluteSector) {
  if (!search_.Spend(sectorBytes_) ||
      !search_.cache.Read(absoluteSector * sectorBytes_, sectorBytes_, sector_.data()))
    return SectorFit::kForeign;
  return FitOfSector(sector_.data(), sectorBytes_, progressive_);
}

// The last sector boundary the break can lie at: where the decode found
// the fault, or the first sector of the last run that cannot be picture
// data, whichever comes first.
uint64_t JpegSearch::BreakBound(const StitchedFile& file, const JpegDecodeReport& failed) {
  const uint64_t faultCut = failed.fault / sectorBytes_ * sectorBytes_;
  const uint64_t lastOffset = file.LastPieceOffset();
  uint64_t from = std::max(lastOffset, (failed.dataStart + sectorBytes_ - 1) / sectorBytes_ *
                                           sectorBytes_);
  for (; from < faultCut; from += sectorBytes_) {
    if (!search_.Spend(sectorBytes_) || !file.Read(from, sectorBytes_, sector_.data()))
      return from;
    SectorFit fit = FitOfSector(sector_.data(), sectorBytes_, progressive_);
    if (fit == SectorFit::kForeign) return from;
    if (fit == SectorFit::kEnd) break;
  }
  return faultCut;
}

// A continuation looks like picture data for a whole small cluster, or up
// to the end marker.
bool JpegSearch::ContinuationFits(uint64_t sector) {
  for (uint64_t i = 0; i < kMiddleRunSectors; ++i) {
    SectorFit fit = FitAt(sector + i);
    if (fit != SectorFit::kData) return fit == SectorFit::kEnd;
  }
  return true;
}

// Entropy-coded data resynchronises: a sector of other data can stand in
// for one of the picture's and still decode to the end. Of the joins that
// read the continuation alike (each a sector later in both runs), the one
// that keeps the most of the run before the break, up to the bound, is the
// picture's own.
void JpegSearch::WidenJoin(const PieceList& pieces, uint64_t lastOffset, uint64_t cut,
                           uint64_t next, uint64_t bound, PieceList& joined,
                           JpegDecodeReport& report) {
  for (uint64_t k = 1; cut + k * sectorBytes_ <= bound; ++k) {
    PieceList wider = JoinedAt(pieces, lastOffset, cut + k * sectorBytes_, sectorBytes_, next + k,
                               search_.TailSectors(next + k));
    JpegDecodeReport widerReport = Decode(wider);
    if (gaveUp_ || !widerReport.clean) return;
    joined = std::move(wider);
    report = widerReport;
  }
}

// Finds the continuation after the break that the decode of `pieces` ran
// into; `pieces` and `end` hold the whole file on success.
bool JpegSearch::Extend(PieceList& pieces, const JpegDecodeReport& failed, uint64_t& end) {
  StitchedFile file(search_.cache, pieces);
  const uint64_t lastOffset = file.LastPieceOffset();
  const uint64_t bound = BreakBound(file, failed);
  if (firstBound_ == 0) firstBound_ = bound;
  const uint64_t lowest = std::max(lastOffset + sectorBytes_,
                                   (failed.dataStart / sectorBytes_ + 1) * sectorBytes_);
  if (gaveUp_ || pieces.size() >= kMaxFilePieces || bound < lowest) return false;
  std::vector<uint64_t> cuts;
  for (uint64_t cut = bound; cut >= lowest && cuts.size() < kCutsTried; cut -= sectorBytes_)
    if (search_.CutFits(cut)) cuts.push_back(cut);
  // The sectors before the bound decoded as this picture's own: the
  // continuation lies after it.
  const uint64_t lastFirst = pieces.back().first;
  const uint64_t boundSector = lastFirst + (bound - lastOffset) / sectorBytes_;
  const uint64_t window = kContinuationWindowBytes / sectorBytes_;
  int followed = 0;
  for (uint64_t next = boundSector + 1; next <= boundSector + window && !gaveUp_; ++next) {
    const uint64_t tail = search_.TailSectors(next);
    if (tail == 0) return false;
    if (!search_.StartFits(next) || !ContinuationFits(next)) continue;
    std::vector<std::pair<PieceList, JpegDecodeReport>> progressed;
    for (uint64_t cut : cuts) {
      PieceList candidate = JoinedAt(pieces, lastOffset, cut, sectorBytes_, next, tail);
      JpegDecodeReport report = Decode(candidate);
      if (gaveUp_) return false;
      if (report.clean) {
        WidenJoin(pieces, lastOffset, cut, next, cuts.front(), candidate, report);
        pieces = std::move(candidate);
        end = report.end;
        return true;
      }
      // Good data well into the new run: a run between two breaks.
      if (report.fault >= cut + kMiddleRunSectors * sectorBytes_)
        progressed.emplace_back(std::move(candidate), report);
    }
    for (auto& [candidate, report] : progressed) {
      if (followed++ >= kFollowedPerBreak) break;
      if (Extend(candidate, report, end)) {
        pieces = std::move(candidate);
        return true;
      }
    }
  }
  return false;
}

Reassembly JpegSearch::Run() {
  PieceList pieces{{search_.startSector, search_.TailSectors(search_.startSector)}};
  // As one run the picture ends where its size rule says: a decode that
  // needs more is broken there at the latest.
  JpegDecodeReport whole = Decode(pieces, search_.measuredSize);
  if (gaveUp_ || !whole.readable) return {};
  Reassembly result;
  if (whole.clean) {
    result.outcome = FragmentOutcome::kWhole;
    return result;
  }
  progressive_ = whole.progressive;
  uint64_t end = 0;
  if (Extend(pieces, whole, end)) {
    StitchedFile joined(search_.cache, pieces);
    result.outcome = FragmentOutcome::kJoined;
    result.pieces = TrimmedTo(pieces, joined.LastPieceOffset(), end, sectorBytes_);
    result.size = end;
    result.firstRunSectors = pieces.front().count;
    return result;
  }
  if (gaveUp_) return {};
  result.outcome = FragmentOutcome::kDamaged;
  result.firstRunSectors = std::max<uint64_t>(firstBound_ / sectorBytes_, 1);
  return result;
}

}  // namespace

Reassembly ReassembleJpeg(FragmentSearch& search) { return JpegSearch(search).Run(); }

}  // namespace salvora
