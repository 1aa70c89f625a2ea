#pragma once
// Joins for formats made of records that each say how long they are and
// validate on their own (PNG chunks with their checksums, ZIP members,
// directory entries and end record): when the record at a known offset
// does not validate, the break lies at a sector boundary inside it, and
// the continuation is the first sector after the break, nearest first,
// with which the record validates.
#include <cstdint>

#include "carving/FragmentReassembly.h"
#include "carving/StitchedFile.h"

namespace salvora {

class RecordFormat {
 public:
  virtual ~RecordFormat() = default;
  // Where the record at `at` ends as far as its header tells, or the end of
  // its fixed header when the bytes there are no header of this format.
  virtual uint64_t SpanEnd(const StitchedFile& file, uint64_t at) = 0;
  // The cheap checks of the record at `at`: its header, and the first
  // Lookahead() bytes of the next record, which starts at `end`.
  virtual bool Plausible(FragmentSearch& search, const StitchedFile& file, uint64_t at,
                         uint64_t& end) = 0;
  // The proof, once the record is plausible: its checksum.
  virtual bool Proven(FragmentSearch& search, const StitchedFile& file, uint64_t at) = 0;
  virtual uint64_t Lookahead() const = 0;
  // Bytes of a record's header, which says where the record ends.
  virtual uint64_t HeaderBytes() const = 0;

  bool Validates(FragmentSearch& search, const StitchedFile& file, uint64_t at, uint64_t& end) {
    return Plausible(search, file, at, end) && Proven(search, file, at);
  }
};

// Looks for the continuation of the record at `at` of `pieces`, which does
// not validate: gaps nearest first, and for each gap every cut. On success
// `pieces` gains the new run.
bool JoinRecord(FragmentSearch& search, RecordFormat& format, PieceList& pieces, uint64_t at);

// What a record walk ends with: whole, joined runs, or damaged at the
// first record that did not validate (`firstBreak`).
Reassembly WalkOutcome(const PieceList& pieces, uint64_t size, uint32_t sectorBytes);
Reassembly DamagedAt(uint64_t firstBreak, uint32_t sectorBytes);

}  // namespace salvora
