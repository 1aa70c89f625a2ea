#pragma once
// A candidate file made of runs of sectors, read as one run of bytes: what
// a fragment search tests before it accepts a join.
#include <cstdint>

#include "carving/FragmentPieces.h"
#include "carving/SectorCache.h"

namespace salvora {

class StitchedFile {
 public:
  StitchedFile(SectorCache& cache, const PieceList& pieces);
  // Bytes the runs hold.
  uint64_t Size() const { return size_; }
  // Copies `length` bytes at file offset `offset`; false past the end or
  // when the source fails.
  bool Read(uint64_t offset, uint32_t length, uint8_t* out) const;
  // File offset where the last run starts.
  uint64_t LastPieceOffset() const { return lastOffset_; }

 private:
  SectorCache& cache_;
  const PieceList& pieces_;
  uint64_t size_ = 0;
  uint64_t lastOffset_ = 0;
};

// The pieces with the last one cut to end at file offset `cut` (a sector
// boundary inside it) and a new open run from absolute sector `next` of up
// to `tailSectors` sectors.
PieceList JoinedAt(const PieceList& pieces, uint64_t lastOffset, uint64_t cut, uint32_t sectorBytes,
                   uint64_t next, uint64_t tailSectors);
// Whether a sector holds one byte repeated, which no file's data but
// padding does for a whole sector.
bool IsFill(const uint8_t* bytes, uint32_t length);
// The same, or plain text: never a part of compressed data.
bool IsFillOrText(const uint8_t* bytes, uint32_t length);

// The pieces with the last one cut so that the file ends at `size` bytes.
PieceList TrimmedTo(PieceList pieces, uint64_t lastOffset, uint64_t size, uint32_t sectorBytes);

}  // namespace salvora
