#pragma once
// The skeleton every scanning size rule shares: read the disk after the
// file's first sector in 64 KiB chunks, report progress, and end at the
// first sector of another file or of file-system metadata, at a cap, a read
// error or a cancel. Rules that know their format's end marker look at each
// chunk on the way.
#include <cstdint>

#include "carving/CarveContext.h"

namespace salvora {

// One chunk as a rule sees it, after the stop search ran over it.
struct ScanChunk {
  const uint8_t* data;  // the bytes read (in the context's scan buffer)
  uint32_t bytes;
  uint64_t base;    // file offset of data[0]
  bool stopped;     // another file or metadata starts in this chunk
  uint32_t usable;  // bytes before the stopping sector (all when not stopped)
};

class ChunkRule {
 public:
  virtual ~ChunkRule() = default;
  // Looks at a chunk; returns true with `size` set when the file ends there.
  virtual bool OnChunk(CarveContext&, const ScanChunk&, uint64_t&) { return false; }
  // The size once the scan ended without a decision (stop, cap, read
  // error, cancel); `size` is what the scan reached.
  virtual uint64_t Finish(uint64_t size) { return size; }
};

enum class StopKind { kAnyFile, kAnyButMpeg };

// Runs the scan for the file at the context's fileStartSector. The cap
// bounds the bytes after the first sector. Always at least one sector.
uint64_t RunForwardScan(CarveContext& context, uint64_t capBytes, ChunkRule& rule,
                        StopKind stopKind = StopKind::kAnyFile);
// A scan without end marker.
uint64_t PlainForwardScan(CarveContext& context, uint64_t capBytes);

// An end pattern counts when the byte after it starts a sector, or only
// zeros lie between it and the next sector boundary (offsets relative to the
// buffer, which starts on a sector boundary).
bool EndIsAligned(const uint8_t* buffer, uint32_t length, uint64_t endOffset, uint32_t sectorBytes);

}  // namespace salvora
