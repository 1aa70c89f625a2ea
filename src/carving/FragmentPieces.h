#pragma once
// A carved file that lies in several runs of sectors: the runs in file
// order, and the companion file of the carving store that keeps them for
// the records that need them (a record without an entry is one run from
// its entry sector, as every carved file was before).
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace salvora {

// One run of a file's data: `count` sectors from absolute sector `first`.
struct SectorPiece {
  uint64_t first = 0;
  uint64_t count = 0;
};
using PieceList = std::vector<SectorPiece>;

// No carved file is rebuilt from more runs than this.
constexpr size_t kMaxFilePieces = 4;

// One entry of the companion file: the record number, the number of runs,
// then each run's first sector and sector count, all little-endian.
std::string EncodePieceEntry(uint32_t recordNo, const PieceList& pieces);
// Reads entries from untrusted bytes; stops at the first malformed one and
// keeps those before it (a later entry for a record replaces an earlier).
void ParsePieceEntries(const uint8_t* bytes, size_t length,
                       std::unordered_map<uint32_t, PieceList>& out);

// The companion file "<store data file>_Pieces".
class PieceFile {
 public:
  // Reads the entries of `path`; with `fresh`, empties it first.
  void Open(const std::string& path, bool fresh);
  // Keeps the runs of a record and appends them to the file at once, so a
  // scan that ends abruptly still has them.
  void Add(uint32_t recordNo, const PieceList& pieces);
  // The runs of a record that has several; false for a one-run record.
  bool Find(uint32_t recordNo, PieceList& out) const;

 private:
  std::string path_;
  std::unordered_map<uint32_t, PieceList> pieces_;
};

}  // namespace salvora
