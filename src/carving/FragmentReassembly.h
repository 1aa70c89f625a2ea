#pragma once
// Carved files that do not lie in one run. For formats whose structure
// tells where the data stops belonging to the file (PNG chunk checksums,
// a JPEG that no longer decodes, ZIP members and their directory, a
// movie's sample tables, a PDF's cross-reference table), the break is
// found, the continuation is sought among the sectors that follow, and a
// join is kept only when the whole file then validates. A file that cannot be completed is reported
// damaged, never as whole. The work is bounded per file and per scan.
#include <cstdint>

#include "carving/CarveContext.h"
#include "carving/FragmentPieces.h"
#include "carving/SectorCache.h"

namespace salvora {

enum class FragmentOutcome {
  kUntouched,  // not a format judged here, or its start cannot be judged
  kWhole,      // validates as the one run it was measured as
  kJoined,     // validates once rebuilt from `pieces`
  kDamaged,    // breaks, and no continuation made it whole
};

struct Reassembly {
  FragmentOutcome outcome = FragmentOutcome::kUntouched;
  PieceList pieces;  // kJoined: the file's runs in order
  uint64_t size = 0;  // kJoined: the file's bytes
  // kJoined, kDamaged: sectors of the first run that hold the file's data;
  // carving looks at what follows them for other files.
  uint64_t firstRunSectors = 0;
  // kJoined: the checks left more than one place for a break, and the one
  // taken is the likeliest: the file is listed as one whose content may
  // not be whole.
  bool uncertain = false;
};

// What one file's search works with: where it starts, the sectors it
// reads, and how much work it may still do.
struct FragmentSearch {
  SectorCache& cache;
  uint64_t startSector;
  uint64_t measuredSize;  // what the format's size rule gave the file as one run
  uint64_t workLeft;      // bytes the search may still read, check or decode
  // Sectors per cluster where a file system says how its files are laid
  // out: every run then starts, and every break lies, on a cluster
  // boundary. 1 for carving, which knows no clusters.
  uint64_t clusterSectors = 1;

  uint32_t SectorBytes() const { return cache.SectorBytes(); }
  // Spends work; false once the budget is gone.
  bool Spend(uint64_t bytes);
  // Sectors an open last run from `sector` may hold: the format's cap, or
  // what the source holds.
  uint64_t TailSectors(uint64_t sector) const;
  bool Stopped() const { return cache.Stopped(); }
  // Whether a run may start at `sector`, a break lie at file offset `offset`.
  bool StartFits(uint64_t sector) const { return (sector - startSector) % clusterSectors == 0; }
  bool CutFits(uint64_t offset) const { return offset % (clusterSectors * SectorBytes()) == 0; }
};

// How far after a break a continuation is sought.
constexpr uint64_t kContinuationWindowBytes = 16 << 20;
// The largest file rebuilt (the picture formats' cap).
constexpr uint64_t kRebuiltFileCapBytes = 0x8000000;

Reassembly ReassemblePng(FragmentSearch& search);
Reassembly ReassembleJpeg(FragmentSearch& search);
// ZIP archives and the office packages built on them.
Reassembly ReassembleZip(FragmentSearch& search);
// MP4, MOV, 3GP and M4V movies with H.264 or H.265 video.
Reassembly ReassembleMovie(FragmentSearch& search);
// PDF documents with a cross-reference table.
Reassembly ReassemblePdf(FragmentSearch& search);

// Owned by the carving engine: the block cache and the scan's budget.
class FragmentReassembler {
 public:
  // A new scan gets the whole budget again.
  void NewScan() { scanWorkLeft_ = kScanWork; }
  // Examines the file of carving type `type` that starts at the context's
  // fileStartSector and that its size rule measured as `measuredSize`.
  // `clusterSectors` as in FragmentSearch.
  Reassembly Examine(CarveContext& context, int type, uint64_t measuredSize,
                     uint64_t clusterSectors = 1);

 private:
  // Bytes read, checked or decoded for one file, and by all the searches
  // of one scan (a file that checks whole as it was measured costs none).
  static constexpr uint64_t kFileWork = 96ull << 20;
  static constexpr uint64_t kScanWork = 4ull << 30;
  SectorCache cache_;
  uint64_t scanWorkLeft_ = kScanWork;
};

}  // namespace salvora
