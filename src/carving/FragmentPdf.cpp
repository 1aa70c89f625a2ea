// PDF documents in several runs. The cross-reference table says where
// every object begins ("N G obj") and `startxref` where the table itself
// does; how far past that the table is found is the foreign data that all
// the breaks hold together. The first object that is not where the table
// says marks a break, and the continuation is the gap after which the
// later objects (and the table) are. Inside the window of bytes the
// object checks leave open, a stream whose length is stated, and whose
// data is deflated, pins the cut; foreign fill and the most aligned
// offset settle what it does not.
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "carving/FragmentCuts.h"
#include "carving/FragmentRecords.h"

namespace salvora {
namespace {

constexpr uint64_t kTrailerLook = 1024;   // `startxref` lies this near the end
constexpr uint64_t kChunkRead = 1 << 16;  // bytes read at a time seeking it further
constexpr uint64_t kTrailerOverlap = 64;  // a trailer that straddles two reads
constexpr uint64_t kHeaderRead = 32;      // bytes read of an object's header
constexpr uint64_t kDictionaryRead = 4096;  // bytes sought for a stream's keyword
constexpr size_t kMaxObjects = 1 << 20;
constexpr uint64_t kXrefEntry = 20;
constexpr size_t kChecksToFollow = 2;
constexpr uint64_t kMaxCutSectors = 1024;
constexpr uint64_t kProbeCost = 16;
constexpr size_t kNoFailure = SIZE_MAX;

struct PdfObject {
  uint64_t offset = 0;
  uint64_t number = 0;  // UINT64_MAX: the table's own `xref` keyword
};

std::string ReadText(const StitchedFile& file, uint64_t at, uint64_t length) {
  std::string text(length, '\0');
  length = std::min(length, file.Size() - std::min(file.Size(), at));
  text.resize(length);
  if (!file.Read(at, static_cast<uint32_t>(length), reinterpret_cast<uint8_t*>(text.data())))
    return {};
  return text;
}

// The unsigned number at `at` of `text` (digits only); false without one.
bool NumberAt(const std::string& text, size_t& at, uint64_t& value) {
  const size_t begin = at;
  value = 0;
  while (at < text.size() && std::isdigit(static_cast<uint8_t>(text[at])) && at - begin < 12)
    value = value * 10 + static_cast<uint64_t>(text[at++] - '0');
  return at > begin;
}

void SkipSpace(const std::string& text, size_t& at) {
  while (at < text.size() && std::isspace(static_cast<uint8_t>(text[at]))) ++at;
}

// Whether the object's header stands at its offset; `used` is its length.
bool HeaderHolds(const StitchedFile& file, const PdfObject& object, uint64_t& used) {
  const std::string text = ReadText(file, object.offset, kHeaderRead);
  used = 4;
  if (object.number == UINT64_MAX) return text.compare(0, 4, "xref") == 0;
  size_t at = 0;
  uint64_t number = 0, generation = 0;
  if (!NumberAt(text, at, number) || number != object.number) return false;
  SkipSpace(text, at);
  if (!NumberAt(text, at, generation)) return false;
  SkipSpace(text, at);
  used = at + 3;
  return text.compare(at, 3, "obj") == 0;
}

struct ObjectCheck {
  size_t failed = kNoFailure;
  uint64_t goodUntil = 0, faultAt = 0, faultEnd = 0;
};

class PdfSearch {
 public:
  explicit PdfSearch(FragmentSearch& search) : search_(search), sb_(search.SectorBytes()) {}
  Reassembly Run();

 private:
  bool FindTrailer(const StitchedFile& file, uint64_t& stated, uint64_t& trailerAt,
                   uint64_t& end);
  bool ReadTable(const StitchedFile& file, uint64_t& shift, uint64_t& size);
  ObjectCheck Check(const StitchedFile& file, size_t from);
  bool Join(PieceList& pieces, const ObjectCheck& broken);
  uint64_t ChooseCut(CutWindow window, const ObjectCheck& broken, const PieceList& pieces,
                     uint64_t lastOffset, uint64_t gap);
  bool StreamHolds(const StitchedFile& file, const PdfObject& object);
  bool Inflates(const StitchedFile& file, uint64_t at, uint64_t length);
  bool GaveUp() const { return search_.Stopped() || search_.workLeft == 0; }

  FragmentSearch& search_;
  const uint32_t sb_;
  std::vector<PdfObject> objects_;  // by offset, the table's keyword last
  uint64_t gapSectorsLeft_ = 0;
};

// The trailer: the last `startxref` before the measured end, or, when the
// measure stopped short of one (at another file's start inside a gap), the
// first one after it. Gives the table's stated offset and where the
// document ends after its "%%EOF" line.
bool PdfSearch::FindTrailer(const StitchedFile& file, uint64_t& stated, uint64_t& trailerAt,
                            uint64_t& end) {
  const uint64_t measured = search_.measuredSize;
  uint64_t from = measured - std::min(measured, kTrailerLook);
  const uint64_t limit = std::min(file.Size(), measured + kContinuationWindowBytes);
  for (bool first = true; from < limit; first = false) {
    const uint64_t length = first ? measured - from : std::min<uint64_t>(kChunkRead, limit - from);
    if (!search_.Spend(length)) return false;
    const std::string text = ReadText(file, from, length);
    const size_t keyword = first ? text.rfind("startxref") : text.find("startxref");
    size_t at = keyword == std::string::npos ? text.size() : keyword + 9;
    SkipSpace(text, at);
    const size_t eof = text.find("%%EOF", at);
    if (NumberAt(text, at, stated) && eof != std::string::npos && eof < at + 8) {
      trailerAt = from + keyword;
      end = from + eof + 5;
      if (text.compare(eof + 5, 2, "\r\n") == 0) end += 2;
      else if (eof + 5 < text.size() && (text[eof + 5] == '\n' || text[eof + 5] == '\r')) end += 1;
      return true;
    }
    if (text.size() < length || (!first && from + length >= limit)) return false;
    from = first ? measured : from + length - kTrailerOverlap;
  }
  return false;
}

// The table is sought at its stated offset plus whole sectors.
bool PdfSearch::ReadTable(const StitchedFile& file, uint64_t& shift, uint64_t& size) {
  uint64_t stated = 0, trailerAt = 0, end = 0;
  if (!FindTrailer(file, stated, trailerAt, end)) return false;
  for (shift = 0; stated + shift + 4 <= trailerAt; shift += sb_) {
    if (!search_.Spend(kProbeCost)) return false;
    if (ReadText(file, stated + shift, 4) == "xref") break;
  }
  if (stated + shift + 4 > trailerAt) return false;
  size = end - shift;
  // Subsections: "first count", then 20-byte entries.
  if (!search_.Spend(trailerAt - stated - shift)) return false;
  const std::string table = ReadText(file, stated + shift, trailerAt - stated - shift);
  size_t at = 4;
  for (;;) {
    uint64_t first = 0, count = 0;
    SkipSpace(table, at);
    if (!NumberAt(table, at, first)) break;
    SkipSpace(table, at);
    if (!NumberAt(table, at, count) || count > (table.size() - at) / kXrefEntry) return false;
    while (at < table.size() && (table[at] == ' ' || table[at] == '\r' || table[at] == '\n')) ++at;
    for (uint64_t i = 0; i < count; ++i, at += kXrefEntry) {
      size_t field = at;
      uint64_t offset = 0;
      if (!NumberAt(table, field, offset) || at + 17 >= table.size()) return false;
      if (table[at + 17] == 'n' && objects_.size() < kMaxObjects && offset > 0)
        objects_.push_back({offset, first + i});
    }
  }
  if (objects_.empty()) return false;
  std::sort(objects_.begin(), objects_.end(),
            [](const PdfObject& a, const PdfObject& b) { return a.offset < b.offset; });
  if (objects_.back().offset >= stated) return false;
  objects_.push_back({stated, UINT64_MAX});
  return true;
}

ObjectCheck PdfSearch::Check(const StitchedFile& file, size_t from) {
  ObjectCheck result;
  for (size_t i = from; i < objects_.size(); ++i) {
    uint64_t used = 0;
    if (!search_.Spend(kHeaderRead)) return result;
    if (!HeaderHolds(file, objects_[i], used)) {
      result.failed = i;
      result.faultAt = objects_[i].offset;
      result.faultEnd = objects_[i].offset + kHeaderRead;
      return result;
    }
    result.goodUntil = objects_[i].offset + used;
  }
  return result;
}

Reassembly PdfSearch::Run() {
  if (search_.measuredSize > kRebuiltFileCapBytes || search_.measuredSize < 64) return {};
  PieceList pieces{{search_.startSector, search_.TailSectors(search_.startSector)}};
  uint64_t shift = 0, size = 0;
  if (!ReadTable(StitchedFile(search_.cache, pieces), shift, size) || GaveUp()) return {};
  gapSectorsLeft_ = shift / sb_;
  uint64_t firstBreak = 0;
  for (;;) {
    ObjectCheck broken = Check(StitchedFile(search_.cache, pieces), 0);
    if (GaveUp()) return {};
    if (broken.failed == kNoFailure) return WalkOutcome(pieces, size, sb_);
    if (firstBreak == 0) firstBreak = std::max<uint64_t>(broken.goodUntil, 1);
    if (pieces.size() >= kMaxFilePieces || !Join(pieces, broken))
      return GaveUp() ? Reassembly{} : DamagedAt(firstBreak, sb_);
  }
}

bool PdfSearch::Join(PieceList& pieces, const ObjectCheck& broken) {
  StitchedFile current(search_.cache, pieces);
  const uint64_t lastOffset = current.LastPieceOffset();
  const CutWindow window = CutWindowOf(broken.goodUntil, broken.faultAt, broken.faultEnd,
                                       lastOffset, current.Size(), sb_, kMaxCutSectors);
  if (window.Empty()) return false;
  size_t firstAfterCut = broken.failed;
  while (firstAfterCut < objects_.size() && objects_[firstAfterCut].offset < window.probe)
    ++firstAfterCut;
  for (uint64_t gap = search_.clusterSectors; gap <= gapSectorsLeft_;
       gap += search_.clusterSectors) {
    if (!search_.Spend(kProbeCost) || search_.Stopped()) return false;
    PieceList candidate = WithContinuation(search_, pieces, lastOffset, window.probe, gap);
    if (candidate.back().count == 0) return false;
    ObjectCheck after = Check(StitchedFile(search_.cache, candidate), broken.failed);
    if (GaveUp()) return false;
    const bool whole = after.failed == kNoFailure;
    const bool followed = pieces.size() + 1 < kMaxFilePieces && gap < gapSectorsLeft_ &&
                          after.failed != kNoFailure &&
                          after.failed >= firstAfterCut + kChecksToFollow;
    if (!whole && !followed) continue;
    const uint64_t cut = ChooseCut(window, broken, pieces, lastOffset, gap);
    if (cut == 0) continue;
    candidate = WithContinuation(search_, pieces, lastOffset, cut, gap);
    if (Check(StitchedFile(search_.cache, candidate), broken.failed).failed != after.failed)
      continue;
    pieces = candidate;
    gapSectorsLeft_ -= gap;
    return true;
  }
  return false;
}

// Cuts at which the header that failed holds and the object before it
// keeps its stream whole; among them, foreign fill and alignment decide.
uint64_t PdfSearch::ChooseCut(CutWindow window, const ObjectCheck& broken,
                              const PieceList& pieces, uint64_t lastOffset, uint64_t gap) {
  std::vector<uint8_t> sector(sb_);
  window = NarrowedWindow(window, pieces, lastOffset, gap, sb_,
                          [&](uint64_t absolute, uint64_t) {
                            return search_.Spend(sb_) &&
                                   search_.cache.Read(absolute * sb_, sb_, sector.data()) &&
                                   IsFill(sector.data(), sb_);
                          });
  if (window.Empty()) return 0;
  uint64_t best = 0;
  int bestBits = -1;
  for (uint64_t cut = window.low; cut <= window.high && !GaveUp(); cut += sb_) {
    if (!search_.CutFits(cut)) continue;
    PieceList candidate = WithContinuation(search_, pieces, lastOffset, cut, gap);
    StitchedFile joined(search_.cache, candidate);
    // A cut inside the header that failed keeps that header's start.
    uint64_t used = 0;
    if (!HeaderHolds(joined, objects_[broken.failed], used) ||
        (broken.failed > 0 && !StreamHolds(joined, objects_[broken.failed - 1])))
      continue;
    const int bits = __builtin_ctzll(cut);
    if (bits > bestBits) best = cut, bestBits = bits;
  }
  return GaveUp() ? 0 : best;
}

// An object without a stream, or whose stream's length is not stated
// outright, holds at any cut.
bool PdfSearch::StreamHolds(const StitchedFile& file, const PdfObject& object) {
  const std::string head = ReadText(file, object.offset, kDictionaryRead);
  const size_t keyword = head.find("stream");
  const size_t lengthKey = head.find("/Length");
  if (keyword == std::string::npos || lengthKey == std::string::npos || lengthKey > keyword)
    return true;
  size_t at = lengthKey + 7;
  uint64_t length = 0, generation = 0;
  SkipSpace(head, at);
  if (!NumberAt(head, at, length)) return true;
  size_t after = at;
  SkipSpace(head, after);
  if (NumberAt(head, after, generation)) return true;  // "N G R": stated elsewhere
  size_t data = keyword + 6;
  if (head.compare(data, 2, "\r\n") == 0) data += 2;
  else if (data < head.size() && head[data] == '\n') data += 1;
  const uint64_t dataAt = object.offset + data, endAt = dataAt + length;
  const std::string end = ReadText(file, endAt, 12);
  if (end.find("endstream") > 2) return false;
  const bool deflated = head.substr(0, keyword).find("/FlateDecode") != std::string::npos;
  return !deflated || Inflates(file, dataAt, length);
}

bool PdfSearch::Inflates(const StitchedFile& file, uint64_t at, uint64_t length) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  std::vector<uint8_t> in(16384), out(65536);
  int status = Z_OK;
  for (uint64_t fed = 0; status == Z_OK && fed < length;) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(in.size(), length - fed));
    if (!search_.Spend(n) || !file.Read(at + fed, n, in.data())) break;
    fed += n;
    stream.next_in = in.data();
    stream.avail_in = n;
    while (status == Z_OK && stream.avail_in > 0) {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      status = inflate(&stream, Z_NO_FLUSH);
      if (!search_.Spend((out.size() - stream.avail_out) / 8)) status = Z_MEM_ERROR;
    }
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END;
}

}  // namespace

Reassembly ReassemblePdf(FragmentSearch& search) { return PdfSearch(search).Run(); }

}  // namespace salvora
