// PNG pictures in several runs. Every chunk carries a CRC-32 of its type
// and data, so the first chunk whose checksum fails holds the break, and a
// join inside that chunk is right only when the chunk's checksum then
// holds and a chunk header follows it.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "carving/ByteOrder.h"
#include "carving/FragmentRecords.h"

namespace salvora {
namespace {

const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint64_t kChunkOverhead = 12;  // length, type, CRC

struct ChunkHead {
  uint32_t length = 0;
  uint8_t type[4] = {};
  bool Is(const char (&name)[5]) const { return std::memcmp(type, name, 4) == 0; }
};

// A chunk header as writers make them: four letters and a length that fits
// the largest picture rebuilt.
bool ReadHead(const StitchedFile& file, uint64_t at, ChunkHead& head) {
  uint8_t bytes[8];
  if (!file.Read(at, sizeof bytes, bytes)) return false;
  head.length = Be32(bytes);
  std::memcpy(head.type, bytes + 4, 4);
  return head.length < kRebuiltFileCapBytes &&
         std::all_of(head.type, head.type + 4, [](uint8_t c) { return std::isalpha(c) != 0; });
}

// Whether the chunk's stored CRC matches its type and data.
bool ChunkChecks(FragmentSearch& search, const StitchedFile& file, uint64_t at,
                 const ChunkHead& head) {
  if (!search.Spend(head.length + kChunkOverhead)) return false;
  uLong crc = crc32(0, nullptr, 0);
  uint8_t buffer[4096];
  const uint64_t end = at + 8 + head.length;
  for (uint64_t from = at + 4; from < end;) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(sizeof buffer, end - from));
    if (!file.Read(from, n, buffer)) return false;
    crc = crc32(crc, buffer, n);
    from += n;
  }
  uint8_t stored[4];
  return file.Read(end, 4, stored) && Be32(stored) == crc;
}

class PngChunks final : public RecordFormat {
 public:
  uint64_t SpanEnd(const StitchedFile& file, uint64_t at) override {
    ChunkHead head;
    return ReadHead(file, at, head) ? at + kChunkOverhead + head.length : at + 8;
  }
  // A header after the chunk (unless it ends the picture) rules most joins
  // out before the checksum is computed.
  bool Plausible(FragmentSearch&, const StitchedFile& file, uint64_t at, uint64_t& end) override {
    ChunkHead next;
    if (!ReadHead(file, at, head_)) return false;
    end = at + kChunkOverhead + head_.length;
    last = head_.Is("IEND");
    header = head_.Is("IHDR");
    return last || ReadHead(file, end, next);
  }
  bool Proven(FragmentSearch& search, const StitchedFile& file, uint64_t at) override {
    return ChunkChecks(search, file, at, head_);
  }
  uint64_t Lookahead() const override { return 8; }
  uint64_t HeaderBytes() const override { return 8; }

  bool last = false, header = false;  // what the last chunk looked at was

 private:
  ChunkHead head_;
};

}  // namespace

Reassembly ReassemblePng(FragmentSearch& search) {
  const uint32_t sectorBytes = search.SectorBytes();
  PieceList pieces{{search.startSector, search.TailSectors(search.startSector)}};
  uint8_t signature[sizeof kSignature];
  if (!StitchedFile(search.cache, pieces).Read(0, sizeof signature, signature) ||
      !HasBytes(signature, kSignature))
    return {};
  PngChunks chunks;
  uint64_t at = sizeof kSignature, firstBreak = 0;
  bool judged = false;  // the header chunk checked: this is a PNG worth judging
  for (;;) {
    uint64_t end = 0;
    bool good = chunks.Validates(search, StitchedFile(search.cache, pieces), at, end);
    if (search.Stopped() || search.workLeft == 0) return {};
    if (good) {
      if (!judged && !chunks.header) return {};
      judged = true;
      at = end;
      if (chunks.last) return WalkOutcome(pieces, at, sectorBytes);
      continue;
    }
    if (!judged) return {};
    if (firstBreak == 0) firstBreak = at;
    if (pieces.size() >= kMaxFilePieces || !JoinRecord(search, chunks, pieces, at)) {
      if (search.Stopped() || search.workLeft == 0) return {};
      return DamagedAt(firstBreak, sectorBytes);
    }
  }
}

}  // namespace salvora
