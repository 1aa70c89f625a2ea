#include "carving/MarkerScans.h"

#include "carving/PatternSearch.h"

namespace salvora {

size_t FindAlignedEnd(const uint8_t* buffer, uint32_t length, const EndPattern& pattern,
                      uint32_t sectorBytes) {
  size_t from = 0;
  while (from < length) {
    size_t at = FindForward(buffer + from, length - from, pattern.bytes, pattern.length);
    if (at == kNoMatch) return kNoMatch;
    at += from;
    if (EndIsAligned(buffer, length, at + pattern.length, sectorBytes)) return at;
    from = at + 1;
  }
  return kNoMatch;
}

bool FirstMarkerRule::OnChunk(CarveContext& context, const ScanChunk& chunk, uint64_t& size) {
  size_t at = aligned_ ? FindAlignedEnd(chunk.data, chunk.bytes, pattern_, context.SectorBytes())
                       : FindForward(chunk.data, chunk.bytes, pattern_.bytes, pattern_.length);
  if (at == kNoMatch) return false;
  size = chunk.base + at + pattern_.endAfter;
  return true;
}

// The chunk may also hold the start of the next file, and with it that
// file's own end marker: the last marker before the next file wins, and
// only without one does the chunk's last marker count.
bool LastMarkerRule::OnChunk(CarveContext&, const ScanChunk& chunk, uint64_t& size) {
  size_t at = FindBackward(chunk.data, chunk.usable, pattern_.bytes, pattern_.length);
  if (at == kNoMatch) at = FindBackward(chunk.data, chunk.bytes, pattern_.bytes, pattern_.length);
  if (at == kNoMatch) return false;
  size = chunk.base + at + pattern_.endAfter;
  return true;
}

bool CandidateEndRule::OnChunk(CarveContext& context, const ScanChunk& chunk, uint64_t&) {
  size_t at = FindForward(chunk.data, chunk.usable, pattern_.bytes, pattern_.length);
  if (at == kNoMatch) return false;
  if (aligned_ &&
      !EndIsAligned(chunk.data, chunk.bytes, at + pattern_.length, context.SectorBytes()))
    return false;
  found_ = true;
  candidate_ = chunk.base + at + pattern_.endAfter;
  return false;
}

uint64_t CandidateEndRule::Finish(uint64_t size) {
  return found_ && candidate_ < size ? candidate_ : size;
}

}  // namespace salvora
