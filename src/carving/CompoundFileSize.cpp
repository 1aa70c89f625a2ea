// The size of a compound file follows from its allocation table: the last
// table sector's trailing free entries are sectors the file never had. Files
// whose header does not allow this are scanned for the class-name stream
// of a word-processor document instead.
#include <algorithm>

#include "carving/ByteOrder.h"
#include "carving/MarkerScans.h"
#include "carving/MeasureRules.h"
#include "carving/PatternSearch.h"

namespace salvora {
namespace {

constexpr uint32_t kHeaderBytes = 512;
constexpr uint32_t kHeaderTableEntries = 109;
constexpr uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr uint32_t kChainEnd = 0xFFFFFFFC;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;

const uint8_t kClassStreamHeader[] = {0x01, 0x00, 0xFE, 0xFF, 0x03, 0x0A};
const uint8_t kWordClassName[] = {'M', 'i', 'c', 'r', 'o',  's',  'o',  'f', 't',
                                  ' ', 'O', 'f', 'f', 'i',  'c',  'e',  ' ', 'W',
                                  'o', 'r', 'd', ' ', 0xCE, 0xC4, 0xB5, 0xB5};

struct CompoundHeader {
  uint32_t sectorBytes;  // 512 or 4096
  uint32_t tableSectors;
  uint32_t chainSectors;
  uint32_t firstChainSector;
  const uint8_t* header;
  uint32_t EntriesPerSector() const { return sectorBytes / 4; }
};

bool ReadHeader(const uint8_t* bytes, uint32_t count, CompoundHeader& out) {
  if (!bytes || count < kHeaderBytes) return false;
  uint32_t shift = Le16(bytes + 30);
  if (shift != 9 && shift != 12) return false;
  uint32_t tableSectors = Le32(bytes + 44);
  uint32_t miniSectors = Le32(bytes + 64);
  uint32_t chainSectors = Le32(bytes + 72);
  uint64_t limit = (uint64_t{kLastRegularSector} >> (shift - 2)) + 1;
  uint64_t perChainSector = (uint64_t{1} << (shift - 2)) - 1;
  if (limit < tableSectors || limit < miniSectors || limit / perChainSector + 1 < chainSectors)
    return false;
  if (chainSectors != 0 && tableSectors <= 108) return false;
  out = {uint32_t{1} << shift, tableSectors, chainSectors, Le32(bytes + 68), bytes};
  return tableSectors != 0;
}

// Reads compound-file sector `index` (the header is sector -1) into `out`.
bool ReadCompoundSector(CarveContext& context, const CompoundHeader& h, uint64_t index,
                        uint8_t* out) {
  uint64_t offset = (index + 1) * h.sectorBytes;
  uint64_t diskBytes = context.SectorBytes();
  uint64_t first = offset / diskBytes;
  uint64_t sectors = (offset + h.sectorBytes + diskBytes - 1) / diskBytes - first;
  if (sectors * diskBytes > kScanBufferBytes) return false;
  uint8_t* buffer = context.ScanBuffer();
  if (!context.ReadExact(context.cursorSector + first, static_cast<uint32_t>(sectors), buffer))
    return false;
  std::memcpy(out, buffer + offset % diskBytes, h.sectorBytes);
  return true;
}

// The sector number of the last allocation-table sector, through the
// header's table or the chain of extension sectors.
bool LastTableSector(CarveContext& context, const CompoundHeader& h, uint8_t* scratch,
                     uint32_t& last) {
  if (h.chainSectors == 0) {
    if (h.tableSectors > kHeaderTableEntries) return false;
    last = Le32(h.header + 76 + 4 * (h.tableSectors - 1));
    return true;
  }
  uint32_t perSector = h.EntriesPerSector() - 1;
  uint32_t next = h.firstChainSector;
  for (uint32_t i = 1; i < h.chainSectors; ++i) {
    if (next >= kChainEnd || !ReadCompoundSector(context, h, next, scratch)) return false;
    next = Le32(scratch + 4 * perSector);
  }
  if (next >= kChainEnd || !ReadCompoundSector(context, h, next, scratch)) return false;
  uint32_t remainder = (h.tableSectors - kHeaderTableEntries) % perSector;
  last = Le32(scratch + 4 * (remainder == 0 ? perSector - 1 : remainder - 1));
  return true;
}

uint64_t SizeFromTable(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  CompoundHeader h{};
  if (!context.SectorSizeUsable() || !ReadHeader(bytes, count, h)) return 0;
  // Runs before the scan's stop search, so the detectors' buffer is free.
  uint8_t* scratch = context.ProbeBuffer();
  uint32_t last = 0;
  if (!LastTableSector(context, h, scratch, last) || last >= kChainEnd ||
      !ReadCompoundSector(context, h, last, scratch))
    return 0;
  uint64_t covered = uint64_t{h.tableSectors} * h.EntriesPerSector() + 1;
  uint32_t freeAtEnd = 0;
  for (uint32_t i = h.EntriesPerSector(); i-- > 0 && Le32(scratch + 4 * i) == kFreeSector;)
    ++freeAtEnd;
  // The table says how long the file is; only the end of the source bounds
  // it, since documents with pictures grow well past the marker scan's cap.
  uint64_t sourceBytes = context.SectorsLeftFrom(context.fileStartSector) * context.SectorBytes();
  return std::min<uint64_t>((covered - freeAtEnd) * h.sectorBytes, sourceBytes);
}

// Word documents without a usable table end after their class-name stream.
class WordClassNameRule : public ChunkRule {
 public:
  bool OnChunk(CarveContext& context, const ScanChunk& chunk, uint64_t& size) override {
    if (FindForward(chunk.data, chunk.bytes, kClassStreamHeader, sizeof(kClassStreamHeader)) ==
        kNoMatch)
      return false;
    size_t at = FindForward(chunk.data, chunk.bytes, kWordClassName, sizeof(kWordClassName));
    if (at == kNoMatch) return false;
    uint64_t end = chunk.base + at + sizeof(kWordClassName);
    uint64_t sector = context.SectorBytes();
    size = (end + sector - 1) / sector * sector;
    return true;
  }
};

}  // namespace

uint64_t MeasureCompoundFile(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  uint64_t size = SizeFromTable(context, bytes, count);
  if (size != 0) return size;
  WordClassNameRule rule;
  return RunForwardScan(context, kOfficeCap, rule);
}

}  // namespace salvora
