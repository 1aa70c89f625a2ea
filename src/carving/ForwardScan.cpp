#include "carving/ForwardScan.h"

#include <algorithm>

#include "carving/StopSearch.h"

namespace salvora {

uint64_t RunForwardScan(CarveContext& context, uint64_t capBytes, ChunkRule& rule,
                        StopKind stopKind) {
  if (!context.SectorSizeUsable())
    return rule.Finish(context.sectorSize > 0 ? context.SectorBytes() : 0);
  const uint32_t sectorBytes = context.SectorBytes();
  const uint32_t chunkSectors = kScanBufferBytes / sectorBytes;
  uint8_t* scanBuffer = context.ScanBuffer();
  uint64_t size = sectorBytes;
  uint64_t remaining = capBytes / sectorBytes;
  uint64_t position = 0;
  uint64_t done = context.sectorsDone;
  while (remaining > 0) {
    uint64_t first = context.fileStartSector + 1 + position;
    // A file that runs into the end of the source ends there, not at the
    // last whole chunk before it.
    uint32_t n = static_cast<uint32_t>(
        std::min<uint64_t>({chunkSectors, remaining, context.SectorsLeftFrom(first)}));
    // Sectors the driving scan holds are looked at where they lie.
    const uint8_t* buffer = n == 0 ? nullptr : context.ReadView(first, n, scanBuffer);
    if (!buffer) break;
    done += n;
    if (!context.ReportProgress(done)) break;
    uint32_t bytes = n * sectorBytes;
    uint64_t reached = size;
    bool stopped = stopKind == StopKind::kAnyButMpeg
                       ? FindStopSectorMpeg(context, bytes, buffer, reached)
                       : FindStopSector(context, bytes, buffer, reached);
    ScanChunk chunk{buffer, bytes, size, stopped, static_cast<uint32_t>(reached - size)};
    if (!stopped) chunk.usable = bytes;
    uint64_t decided = 0;
    if (rule.OnChunk(context, chunk, decided)) return decided;
    if (stopped) {
      size = reached;
      break;
    }
    size += bytes;
    position += n;
    remaining -= n;
  }
  return rule.Finish(size);
}

uint64_t PlainForwardScan(CarveContext& context, uint64_t capBytes) {
  ChunkRule plain;
  return RunForwardScan(context, capBytes, plain);
}

bool EndIsAligned(const uint8_t* buffer, uint32_t length, uint64_t endOffset,
                  uint32_t sectorBytes) {
  if (sectorBytes == 0) return false;
  uint64_t boundary = (endOffset + sectorBytes - 1) / sectorBytes * sectorBytes;
  if (boundary == endOffset) return true;
  if (boundary > length) return false;
  for (uint64_t i = endOffset; i < boundary; ++i)
    if (buffer[i] != 0) return false;
  return true;
}

}  // namespace salvora
