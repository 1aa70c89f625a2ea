#include "storage/UnreadAreas.h"

#include <algorithm>

namespace salvora {

bool JoinRange(std::vector<ByteRange>& ranges, const ByteRange& range, size_t maxKept) {
  if (range.length == 0) return true;
  // The first stretch that ends at or after the new one's start may touch it.
  auto first = std::lower_bound(ranges.begin(), ranges.end(), range.offset,
                                [](const ByteRange& r, uint64_t at) { return r.End() < at; });
  auto last = first;
  uint64_t start = range.offset, end = range.End();
  while (last != ranges.end() && last->offset <= end) {
    start = std::min(start, last->offset);
    end = std::max(end, last->End());
    ++last;
  }
  if (first == last) {
    if (ranges.size() >= maxKept) return false;
    ranges.insert(first, range);
    return true;
  }
  *first = {start, end - start};
  ranges.erase(first + 1, last);
  return true;
}

void UnreadAreas::Note(uint64_t offset, uint64_t length) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!JoinRange(kept_, {offset, length}, kMaxKept)) ++leftOut_;
}

void UnreadAreas::AddTo(std::vector<ByteRange>& out, uint64_t& leftOut) const {
  std::lock_guard<std::mutex> hold(lock_);
  for (const ByteRange& range : kept_)
    if (!JoinRange(out, range, kMaxKept)) ++leftOut;
  leftOut += leftOut_;
}

}  // namespace salvora
