#pragma once
// The kinds of end marker a scanning size rule looks for in each chunk.
#include <cstddef>
#include <cstdint>

#include "carving/ForwardScan.h"

namespace salvora {

// A byte pattern and how far past its start the file ends.
struct EndPattern {
  const uint8_t* bytes;
  size_t length;
  uint64_t endAfter;
};

// The first occurrence in a chunk that counts ends the file; with
// `aligned`, only occurrences whose end is sector-aligned count, and the
// search goes on past the others.
class FirstMarkerRule : public ChunkRule {
 public:
  FirstMarkerRule(EndPattern pattern, bool aligned) : pattern_(pattern), aligned_(aligned) {}
  bool OnChunk(CarveContext& context, const ScanChunk& chunk, uint64_t& size) override;

 private:
  EndPattern pattern_;
  bool aligned_;
};

// The last occurrence in a chunk ends the file (before a stopping sector
// when there is one there).
class LastMarkerRule : public ChunkRule {
 public:
  explicit LastMarkerRule(EndPattern pattern) : pattern_(pattern) {}
  bool OnChunk(CarveContext& context, const ScanChunk& chunk, uint64_t& size) override;

 private:
  EndPattern pattern_;
};

// The marker only proposes an end: the scan goes on, a later chunk's
// proposal replaces it, and at the end the smaller of proposal and reach
// wins. Only bytes before a stopping sector propose, so a marker inside the
// next file cannot replace a good proposal.
class CandidateEndRule : public ChunkRule {
 public:
  CandidateEndRule(EndPattern pattern, bool aligned) : pattern_(pattern), aligned_(aligned) {}
  bool OnChunk(CarveContext& context, const ScanChunk& chunk, uint64_t& size) override;
  uint64_t Finish(uint64_t size) override;

 private:
  EndPattern pattern_;
  bool aligned_;
  bool found_ = false;
  uint64_t candidate_ = 0;
};

// Offset of the first occurrence of the pattern whose end counts under the
// aligned rule, searching on past those that do not; kNoMatch if none.
size_t FindAlignedEnd(const uint8_t* buffer, uint32_t length, const EndPattern& pattern,
                      uint32_t sectorBytes);

}  // namespace salvora
