#include "carving/MovieSamples.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "carving/ByteOrder.h"
#include "carving/FragmentReassembly.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint64_t kBoxHeader = 8, kLargeBoxHeader = 16;
// Larger movie boxes are not read; nor are more samples judged.
constexpr uint64_t kMaxMovieBox = 32 << 20;
constexpr size_t kMaxChecks = 1 << 20;
// A reader that skips further than this between checks pays for one block.
constexpr uint64_t kReadSpan = 1 << 16;
// A visual sample entry's fields before its child boxes.
constexpr uint64_t kVisualEntryFields = 78;

// The contents of a box held in memory.
struct Span {
  const uint8_t* bytes = nullptr;
  uint64_t length = 0;
};

// The contents of the first child of type `type` among the boxes that fill
// `in`.
bool Child(Span in, const char (&type)[5], Span& out) {
  for (uint64_t at = 0; in.length - at >= kBoxHeader;) {
    const uint8_t* box = in.bytes + at;
    uint64_t length = Be32(box), header = kBoxHeader;
    if (length == 1) {
      if (in.length - at < kLargeBoxHeader) return false;
      length = uint64_t{Be32(box + 8)} << 32 | Be32(box + 12);
      header = kLargeBoxHeader;
    } else if (length == 0) {
      length = in.length - at;
    }
    if (length < header || length > in.length - at) return false;
    if (HasText(box + 4, type)) {
      out = {box + header, length - header};
      return true;
    }
    at += length;
  }
  return false;
}

bool Path(Span in, std::initializer_list<const char*> types, Span& out) {
  for (const char* type : types) {
    char name[5];
    std::memcpy(name, type, 5);
    if (!Child(in, name, in)) return false;
  }
  out = in;
  return true;
}

// The NAL length field size of an H.264 or H.265 track, 0 for other codecs.
uint8_t NalLengthBytes(Span stsd, bool& hevc) {
  if (stsd.length < 16 || Be32(stsd.bytes + 4) == 0) return 0;
  const uint8_t* entry = stsd.bytes + 8;
  const uint64_t entryLength = Be32(entry);
  if (entryLength < kBoxHeader + kVisualEntryFields || entryLength > stsd.length - 8) return 0;
  hevc = HasText(entry + 4, "hvc1") || HasText(entry + 4, "hev1");
  const bool avc = HasText(entry + 4, "avc1") || HasText(entry + 4, "avc3");
  if (!avc && !hevc) return 0;
  Span children{entry + kBoxHeader + kVisualEntryFields,
                entryLength - kBoxHeader - kVisualEntryFields};
  Span config;
  const uint64_t field = hevc ? 21 : 4;
  if (!Child(children, hevc ? "hvcC" : "avcC", config) || config.length <= field) return 0;
  return static_cast<uint8_t>((config.bytes[field] & 3) + 1);
}

// The samples of one track whose sample tables hold together.
void AddTrackSamples(Span stbl, std::vector<MovieCheck>& checks) {
  Span stsd, stsz, stsc, stco;
  bool hevc = false, wide = false;
  if (!Child(stbl, "stsd", stsd) || !Child(stbl, "stsz", stsz) || !Child(stbl, "stsc", stsc))
    return;
  if (!Child(stbl, "stco", stco)) {
    if (!Child(stbl, "co64", stco)) return;
    wide = true;
  }
  const uint8_t lengthBytes = NalLengthBytes(stsd, hevc);
  if (lengthBytes == 0 || stsz.length < 12 || stsc.length < 8 || stco.length < 8) return;
  const uint32_t fixedSize = Be32(stsz.bytes + 4), sampleCount = Be32(stsz.bytes + 8);
  const uint64_t stscCount = Be32(stsc.bytes + 4), chunkCount = Be32(stco.bytes + 4);
  const uint64_t offsetBytes = wide ? 8 : 4;
  if ((fixedSize == 0 && (stsz.length - 12) / 4 < sampleCount) || stscCount == 0 ||
      (stsc.length - 8) / 12 < stscCount || (stco.length - 8) / offsetBytes < chunkCount ||
      Be32(stsc.bytes + 8) != 1 || sampleCount > kMaxChecks - checks.size())
    return;
  const size_t first = checks.size();
  uint64_t sample = 0, entry = 0;
  for (uint64_t chunk = 1; chunk <= chunkCount && sample < sampleCount; ++chunk) {
    while (entry + 1 < stscCount && Be32(stsc.bytes + 8 + 12 * (entry + 1)) <= chunk) ++entry;
    const uint8_t* at = stco.bytes + 8 + offsetBytes * (chunk - 1);
    uint64_t offset = wide ? uint64_t{Be32(at)} << 32 | Be32(at + 4) : Be32(at);
    const uint64_t perChunk = Be32(stsc.bytes + 8 + 12 * entry + 4);
    for (uint64_t i = 0; i < perChunk && sample < sampleCount; ++i, ++sample) {
      const uint64_t size = fixedSize ? fixedSize : Be32(stsz.bytes + 12 + 4 * sample);
      if (size > 0) checks.push_back({offset, size, lengthBytes, hevc, CheckKind::kNalSample});
      offset += size;
      if (offset > kRebuiltFileCapBytes * 64) {
        checks.resize(first);  // tables that point nowhere a file can reach
        return;
      }
    }
  }
}

void AddMovieSamples(Span moov, std::vector<MovieCheck>& checks) {
  for (uint64_t at = 0; at < moov.length;) {
    Span rest{moov.bytes + at, moov.length - at}, trak, stbl;
    if (!Child(rest, "trak", trak)) return;
    at = static_cast<uint64_t>(trak.bytes + trak.length - moov.bytes);
    if (Path(trak, {"mdia", "minf", "stbl"}, stbl)) AddTrackSamples(stbl, checks);
  }
}

bool ReadMovieBox(const StitchedFile& file, uint64_t at, uint64_t length, uint64_t header,
                  uint64_t& work, std::vector<MovieCheck>& checks) {
  if (length > kMaxMovieBox || length > work) return false;
  work -= length;
  std::vector<uint8_t> bytes(length - header);
  if (!file.Read(at + header, static_cast<uint32_t>(bytes.size()), bytes.data())) return true;
  AddMovieSamples({bytes.data(), bytes.size()}, checks);
  return true;
}

// Reads a top-level box header: its length and its header's.
bool BoxAt(const StitchedFile& file, uint64_t at, uint64_t& length, uint64_t& header,
           uint8_t type[4]) {
  uint8_t h[kLargeBoxHeader];
  if (!file.Read(at, kBoxHeader, h)) return false;
  if (at == 0 ? !HasText(h + 4, "ftyp") : !IsTopLevelBox(h + 4)) return false;
  std::memcpy(type, h + 4, 4);
  length = Be32(h);
  header = kBoxHeader;
  if (length == 1) {
    if (!file.Read(at, kLargeBoxHeader, h)) return false;
    length = uint64_t{Be32(h + 8)} << 32 | Be32(h + 12);
    header = kLargeBoxHeader;
  }
  return length >= header;
}

}  // namespace

bool ReadMovieLayout(const StitchedFile& file, uint64_t& work, MovieLayout& layout) {
  layout = {};
  uint64_t at = 0, length = 0, header = 0;
  uint8_t type[4];
  while (BoxAt(file, at, length, header, type)) {
    layout.checks.push_back({at, length, 0, false, CheckKind::kBoxHeader});
    if (std::memcmp(type, "moov", 4) == 0 && layout.movieAt == 0) {
      if (!ReadMovieBox(file, at, length, header, work, layout.checks)) return false;
      layout.movieAt = at;
    }
    if (length > UINT64_MAX - at) break;
    at += length;
  }
  std::stable_sort(layout.checks.begin(), layout.checks.end(),
                   [](const MovieCheck& a, const MovieCheck& b) { return a.offset < b.offset; });
  layout.judgeable = std::any_of(layout.checks.begin(), layout.checks.end(),
                                 [](const MovieCheck& c) { return c.kind == CheckKind::kNalSample; });
  const bool samplesInside =
      layout.checks.empty() || layout.checks.back().offset + layout.checks.back().size <= at;
  if (layout.movieAt != 0 && samplesInside) {
    layout.end = at;
  } else {
    // A box belongs here: the walk met something else.
    layout.walkFault = at;
    layout.checks.push_back({at, 0, 0, false, CheckKind::kBoxHeader});
    std::stable_sort(layout.checks.begin(), layout.checks.end(),
                     [](const MovieCheck& a, const MovieCheck& b) { return a.offset < b.offset; });
  }
  return true;
}

namespace {

// Follows the length-prefixed units of a sample; the first read that
// cannot be one fails.
bool NalSampleHolds(const StitchedFile& file, const MovieCheck& check, uint64_t& readAt,
                    CheckResult& result, uint64_t& work) {
  uint64_t& goodUntil = result.goodUntil;
  const uint64_t end = check.offset + check.size;
  const uint64_t need = check.lengthBytes + (check.hevc ? 2u : 1u);
  uint64_t at = check.offset;
  while (at < end) {
    readAt = at;
    const uint64_t cost = std::min(at - std::min(at, goodUntil), kReadSpan) + need;
    if (cost > work) {
      work = 0;
      return false;
    }
    work -= cost;
    uint8_t b[6];
    if (end - at < need || !file.Read(at, static_cast<uint32_t>(need), b)) return false;
    uint64_t length = 0;
    for (uint8_t i = 0; i < check.lengthBytes; ++i) length = length << 8 | b[i];
    const uint8_t head = b[check.lengthBytes];
    const bool headerFits = check.hevc ? (b[check.lengthBytes + 1] & 7) != 0 && (head >> 1) <= 40
                                       : (head & 0x1F) >= 1 && (head & 0x1F) <= 23;
    if ((head & 0x80) || !headerFits || length < need - check.lengthBytes ||
        length > end - at - check.lengthBytes)
      return false;
    goodUntil = at + need;
    at += check.lengthBytes + length;
    result.payloadEnd = at;
  }
  return true;
}

bool BoxHolds(const StitchedFile& file, const MovieCheck& check, CheckResult& result,
              uint64_t& work) {
  uint64_t length = 0, header = 0;
  uint8_t type[4];
  if (work < kBoxHeader) {
    work = 0;
    return false;
  }
  work -= kBoxHeader;
  if (!BoxAt(file, check.offset, length, header, type) || (check.size && length != check.size))
    return false;
  result.goodUntil = result.payloadEnd = check.offset + header;
  return true;
}

}  // namespace

CheckResult CheckMovie(const StitchedFile& file, const MovieLayout& layout, size_t from,
                       uint64_t& work, uint64_t stride) {
  constexpr size_t kLastChecks = 8;
  CheckResult result;
  uint64_t nextChecked = 0;
  // Work is charged for the bytes a reader skips from the first check on.
  if (from < layout.checks.size()) result.goodUntil = layout.checks[from].offset;
  for (size_t i = from; i < layout.checks.size(); ++i) {
    const MovieCheck& check = layout.checks[i];
    if (check.offset < nextChecked && i + kLastChecks < layout.checks.size()) continue;
    nextChecked = check.offset + stride;
    uint64_t readAt = check.offset;
    const bool holds = check.kind == CheckKind::kBoxHeader
                           ? BoxHolds(file, check, result, work)
                           : NalSampleHolds(file, check, readAt, result, work);
    if (holds) continue;
    result.failed = i;
    result.faultAt = readAt;
    result.faultEnd = readAt + (check.kind == CheckKind::kBoxHeader ? kBoxHeader : check.lengthBytes + 2u);
    result.outOfWork = work == 0;
    return result;
  }
  return result;
}

}  // namespace salvora
