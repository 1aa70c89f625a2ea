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
  // Whether the record at `at` validates (the cheap checks first, each
  // charged to the search); `end` is then where the next record starts.
  // The check also reads the first Lookahead() bytes of that next record.
  virtual bool Validates(FragmentSearch& search, const StitchedFile& file, uint64_t at,
                         uint64_t& end) = 0;
  virtual uint64_t Lookahead() const = 0;
};

// Looks for the continuation of the record at `at` of `pieces`, which does
// not validate. On success `pieces` gains the new run.
bool JoinRecord(FragmentSearch& search, RecordFormat& format, PieceList& pieces, uint64_t at);

// What a record walk ends with: whole, joined runs, or damaged at the
// first record that did not validate (`firstBreak`).
Reassembly WalkOutcome(const PieceList& pieces, uint64_t size, uint32_t sectorBytes);
Reassembly DamagedAt(uint64_t firstBreak, uint32_t sectorBytes);

}  // namespace salvora
