#include "carving/FragmentPieces.h"

#include <fstream>
#include <iterator>

#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr size_t kEntryHead = 8;
constexpr size_t kPieceBytes = 16;
// A store's companion file never needs more; a larger one is damaged.
constexpr std::streamoff kMaxFileBytes = 64 << 20;

void PutLe(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string EncodePieceEntry(uint32_t recordNo, const PieceList& pieces) {
  std::string out;
  PutLe(out, recordNo, 4);
  PutLe(out, pieces.size(), 4);
  for (const SectorPiece& piece : pieces) {
    PutLe(out, piece.first, 8);
    PutLe(out, piece.count, 8);
  }
  return out;
}

void ParsePieceEntries(const uint8_t* bytes, size_t length,
                       std::unordered_map<uint32_t, PieceList>& out) {
  size_t at = 0;
  while (bytes && length - at >= kEntryHead) {
    uint32_t recordNo = Le32(bytes + at), count = Le32(bytes + at + 4);
    if (recordNo == 0 || count < 2 || count > kMaxFilePieces ||
        (length - at - kEntryHead) / kPieceBytes < count)
      return;
    PieceList pieces;
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* p = bytes + at + kEntryHead + i * kPieceBytes;
      SectorPiece piece{Le64(p), Le64(p + 8)};
      if (piece.count == 0 || piece.first > UINT64_MAX - piece.count) return;
      pieces.push_back(piece);
    }
    out[recordNo] = std::move(pieces);
    at += kEntryHead + count * kPieceBytes;
  }
}

void PieceFile::Open(const std::string& path, bool fresh) {
  path_ = path;
  pieces_.clear();
  if (fresh) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc);
    return;
  }
  std::ifstream in(path_, std::ios::binary | std::ios::ate);
  if (!in) return;
  std::streamoff size = in.tellg();
  if (size <= 0 || size > kMaxFileBytes) return;
  in.seekg(0);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), size)) return;
  ParsePieceEntries(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), pieces_);
}

void PieceFile::Add(uint32_t recordNo, const PieceList& pieces) {
  if (pieces.size() < 2 || pieces.size() > kMaxFilePieces) return;
  pieces_[recordNo] = pieces;
  if (path_.empty()) return;
  std::ofstream out(path_, std::ios::binary | std::ios::app);
  std::string entry = EncodePieceEntry(recordNo, pieces);
  out.write(entry.data(), static_cast<std::streamsize>(entry.size()));
}

bool PieceFile::Find(uint32_t recordNo, PieceList& out) const {
  auto found = pieces_.find(recordNo);
  if (found == pieces_.end()) return false;
  out = found->second;
  return true;
}

}  // namespace salvora
