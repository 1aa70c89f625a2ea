#pragma once
// The stretches of a source that a scan asked for and did not get. A disk
// that is dying fails reads all over, so the list is kept sorted and joined,
// and stops growing at a fixed number of stretches: past that, further
// stretches are only counted, so that a report can say how many it left out.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "storage/ByteRange.h"

namespace salvora {

class UnreadAreas {
 public:
  static constexpr size_t kMaxKept = 4096;

  // Notes `length` bytes at `offset` as not read; several threads may note
  // at once (the deep scan reads ahead on a thread of its own).
  void Note(uint64_t offset, uint64_t length);
  // Adds what this list holds to `out`, which stays sorted and joined.
  void AddTo(std::vector<ByteRange>& out, uint64_t& leftOut) const;

 private:
  mutable std::mutex lock_;
  std::vector<ByteRange> kept_;
  uint64_t leftOut_ = 0;  // stretches noted while the list was full
};

// Joins `range` into a sorted list of stretches that neither touch nor
// overlap; false (and the list unchanged) when it would need a new stretch
// beyond `maxKept`.
bool JoinRange(std::vector<ByteRange>& ranges, const ByteRange& range, size_t maxKept);

}  // namespace salvora
