#include "carving/StitchedFile.h"

#include <algorithm>

namespace salvora {

StitchedFile::StitchedFile(SectorCache& cache, const PieceList& pieces)
    : cache_(cache), pieces_(pieces) {
  const uint64_t sectorBytes = cache.SectorBytes();
  for (const SectorPiece& piece : pieces) {
    lastOffset_ = size_;
    size_ += piece.count * sectorBytes;
  }
}

bool StitchedFile::Read(uint64_t offset, uint32_t length, uint8_t* out) const {
  if (offset > size_ || size_ - offset < length) return false;
  const uint64_t sectorBytes = cache_.SectorBytes();
  uint64_t pieceStart = 0;
  for (const SectorPiece& piece : pieces_) {
    const uint64_t pieceBytes = piece.count * sectorBytes;
    if (length > 0 && offset < pieceStart + pieceBytes) {
      uint64_t inPiece = offset - pieceStart;
      uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(length, pieceBytes - inPiece));
      if (!cache_.Read(piece.first * sectorBytes + inPiece, n, out)) return false;
      out += n;
      offset += n;
      length -= n;
    }
    pieceStart += pieceBytes;
  }
  return length == 0;
}

bool IsFill(const uint8_t* bytes, uint32_t length) {
  return std::all_of(bytes, bytes + length, [&](uint8_t c) { return c == bytes[0]; });
}

bool IsFillOrText(const uint8_t* bytes, uint32_t length) {
  return IsFill(bytes, length) ||
         std::all_of(bytes, bytes + length, [](uint8_t c) { return c < 0x80; });
}

PieceList JoinedAt(const PieceList& pieces, uint64_t lastOffset, uint64_t cut, uint32_t sectorBytes,
                   uint64_t next, uint64_t tailSectors) {
  PieceList joined = pieces;
  joined.back().count = (cut - lastOffset) / sectorBytes;
  joined.push_back({next, tailSectors});
  return joined;
}

PieceList TrimmedTo(PieceList pieces, uint64_t lastOffset, uint64_t size, uint32_t sectorBytes) {
  pieces.back().count = (size - lastOffset + sectorBytes - 1) / sectorBytes;
  return pieces;
}

}  // namespace salvora
