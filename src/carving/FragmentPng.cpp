// PNG pictures in several runs. Every chunk carries a CRC-32 of its type
// and data, so the first chunk whose checksum fails holds the break, and a
// join inside that chunk is right only when the chunk's checksum then
// holds and a chunk header follows it.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "carving/ByteOrder.h"
#include "carving/FragmentReassembly.h"
#include "carving/StitchedFile.h"

namespace salvora {
namespace {

const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint64_t kChunkOverhead = 12;  // length, type, CRC
// Each candidate join costs a few reads; it is charged as this many bytes.
constexpr uint64_t kProbeCost = 16;
// Cut points tried inside one broken chunk.
constexpr uint64_t kMaxCuts = 4096;

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

enum class Check { kGood, kBad };

// Whether the chunk's stored CRC matches its type and data.
Check ChunkChecks(FragmentSearch& search, const StitchedFile& file, uint64_t at,
                  const ChunkHead& head) {
  if (!search.Spend(head.length + kChunkOverhead)) return Check::kBad;
  uLong crc = crc32(0, nullptr, 0);
  uint8_t buffer[4096];
  const uint64_t end = at + 8 + head.length;
  for (uint64_t from = at + 4; from < end;) {
    uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(sizeof buffer, end - from));
    if (!file.Read(from, n, buffer)) return Check::kBad;
    crc = crc32(crc, buffer, n);
    from += n;
  }
  uint8_t stored[4];
  return file.Read(end, 4, stored) && Be32(stored) == crc ? Check::kGood : Check::kBad;
}

// A join at `cut` holds when the chunk at `at` checks and a chunk follows.
bool JoinValidates(FragmentSearch& search, const PieceList& candidate, uint64_t at, uint64_t cut) {
  StitchedFile file(search.cache, candidate);
  ChunkHead head, next;
  if (!ReadHead(file, at, head)) return false;
  const uint64_t end = at + kChunkOverhead + head.length;
  if (end <= cut || (!head.Is("IEND") && !ReadHead(file, end, next))) return false;
  return ChunkChecks(search, file, at, head) == Check::kGood;
}

// Looks for the continuation of the chunk at `at`, which does not check:
// the break is a sector boundary inside it (or inside its header when the
// header itself is foreign), and the continuation one of the sectors after
// the break, nearest first. On success `pieces` gains the new run.
bool JoinChunk(FragmentSearch& search, PieceList& pieces, uint64_t at) {
  const uint64_t sectorBytes = search.SectorBytes();
  StitchedFile current(search.cache, pieces);
  const uint64_t lastOffset = current.LastPieceOffset();
  ChunkHead head;
  const uint64_t spanEnd = ReadHead(current, at, head) ? at + kChunkOverhead + head.length : at + 8;
  const uint64_t firstCut =
      std::max((at + sectorBytes - 1) / sectorBytes * sectorBytes, lastOffset + sectorBytes);
  if (current.Size() < sectorBytes) return false;
  uint64_t lastCut = std::min(spanEnd - 1, current.Size() - sectorBytes) / sectorBytes * sectorBytes;
  lastCut = std::min(lastCut, firstCut + (kMaxCuts - 1) * sectorBytes);
  if (firstCut > lastCut) return false;
  const uint64_t lastFirst = pieces.back().first;
  const uint64_t firstBreak = lastFirst + (firstCut - lastOffset) / sectorBytes;
  PieceList candidate = pieces;
  candidate.push_back({});
  const uint64_t window = kContinuationWindowBytes / sectorBytes;
  for (uint64_t next = firstBreak + 1; next <= firstBreak + window; ++next) {
    const uint64_t tail = search.TailSectors(next);
    if (tail == 0) return false;
    for (uint64_t cut = firstCut; cut <= lastCut; cut += sectorBytes) {
      const uint64_t kept = (cut - lastOffset) / sectorBytes;
      if (lastFirst + kept >= next) break;
      if (!search.Spend(kProbeCost) || search.Stopped()) return false;
      candidate[candidate.size() - 2].count = kept;
      candidate.back() = {next, tail};
      if (JoinValidates(search, candidate, at, cut)) {
        pieces = candidate;
        return true;
      }
    }
  }
  return false;
}

Reassembly Finished(const PieceList& pieces, uint64_t lastOffset, uint64_t size,
                    uint32_t sectorBytes) {
  Reassembly done;
  if (pieces.size() == 1) {
    done.outcome = FragmentOutcome::kWhole;
    return done;
  }
  done.outcome = FragmentOutcome::kJoined;
  done.pieces = TrimmedTo(pieces, lastOffset, size, sectorBytes);
  done.size = size;
  done.firstRunSectors = pieces.front().count;
  return done;
}

}  // namespace

Reassembly ReassemblePng(FragmentSearch& search) {
  const uint32_t sectorBytes = search.SectorBytes();
  PieceList pieces{{search.startSector, search.TailSectors(search.startSector)}};
  uint8_t signature[sizeof kSignature];
  if (!StitchedFile(search.cache, pieces).Read(0, sizeof signature, signature) ||
      !HasBytes(signature, kSignature))
    return {};
  uint64_t at = sizeof kSignature, firstBreak = 0;
  bool judged = false;  // the header chunk checked: this is a PNG worth judging
  for (;;) {
    StitchedFile file(search.cache, pieces);
    ChunkHead head;
    bool good = ReadHead(file, at, head) && ChunkChecks(search, file, at, head) == Check::kGood;
    if (search.Stopped() || search.workLeft == 0) return {};
    if (good) {
      if (!judged && !head.Is("IHDR")) return {};
      judged = true;
      at += kChunkOverhead + head.length;
      if (head.Is("IEND")) return Finished(pieces, file.LastPieceOffset(), at, sectorBytes);
      continue;
    }
    if (!judged) return {};
    if (firstBreak == 0) firstBreak = at;
    if (pieces.size() >= kMaxFilePieces || !JoinChunk(search, pieces, at)) {
      if (search.Stopped() || search.workLeft == 0) return {};
      Reassembly damaged;
      damaged.outcome = FragmentOutcome::kDamaged;
      damaged.firstRunSectors = (firstBreak + sectorBytes - 1) / sectorBytes;
      return damaged;
    }
  }
}

}  // namespace salvora
