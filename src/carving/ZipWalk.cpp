// A ZIP archive's length (OOXML and other packages too) from its records:
// each member's local header and data (the compressed size comes from the
// header, its ZIP64 field, or, for a member streamed with a data
// descriptor, from where its deflate data ends), then the central
// directory, the ZIP64 end records when there are any, and the end record
// with its comment. The end record must count the members walked.
#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kLocalHeader = 30, kCentralHeader = 46, kEndRecord = 22;
constexpr uint32_t kZip64EndLocator = 20;
constexpr uint16_t kStreamed = 0x0008;
constexpr uint16_t kDeflated = 8;
constexpr uint16_t kZip64Field = 0x0001;
constexpr uint32_t kUnknown32 = 0xFFFFFFFF;
const uint8_t kLocal[] = {'P', 'K', 3, 4};
const uint8_t kCentral[] = {'P', 'K', 1, 2};
const uint8_t kDescriptor[] = {'P', 'K', 7, 8};
const uint8_t kZip64End[] = {'P', 'K', 6, 6};
const uint8_t kZip64Locator[] = {'P', 'K', 6, 7};
const uint8_t kSignature[] = {'P', 'K', 5, 5};
const uint8_t kEnd[] = {'P', 'K', 5, 6};

uint64_t Le64At(const uint8_t* p) { return uint64_t{Le32(p)} | uint64_t{Le32(p + 4)} << 32; }

bool RecordAt(FileWindow& window, uint64_t at, const uint8_t (&signature)[4]) {
  const uint8_t* p = window.At(at, 4);
  return p && HasBytes(p, signature);
}

// The compressed size in a local header's ZIP64 extra field.
bool Zip64CompressedSize(FileWindow& window, uint64_t extraAt, uint32_t extraBytes,
                         uint64_t& size) {
  for (uint64_t at = extraAt; at + 4 <= extraAt + extraBytes;) {
    const uint8_t* field = window.At(at, 4);
    if (!field) return false;
    uint16_t id = Le16(field), length = Le16(field + 2);
    if (id == kZip64Field && length >= 16) {
      const uint8_t* sizes = window.At(at + 4, 16);
      if (!sizes) return false;
      size = Le64At(sizes + 8);
      return true;
    }
    at += 4 + uint64_t{length};
  }
  return false;
}

// The data descriptor after a streamed member whose deflate data ended at
// `at`: its signature is optional and its sizes 4 or 8 bytes wide; the
// layout whose compressed size matches and after which a record starts is
// the one there.
bool SkipDescriptor(FileWindow& window, uint64_t& at, uint64_t compressed) {
  const uint64_t from = at + (RecordAt(window, at, kDescriptor) ? 4 : 0);
  auto recordFollows = [&](uint64_t next) {
    const uint8_t* p = window.At(next, 2);
    return p && p[0] == 'P' && p[1] == 'K';
  };
  const uint8_t* narrow = window.At(from, 12);
  if (narrow && Le32(narrow + 4) == compressed && recordFollows(from + 12)) {
    at = from + 12;
    return true;
  }
  const uint8_t* wide = window.At(from, 20);
  if (wide && Le64At(wide + 4) == compressed && recordFollows(from + 20)) {
    at = from + 20;
    return true;
  }
  return false;
}

// One member from its local header at `at`; `at` moves past its data.
bool SkipMember(FileWindow& window, uint64_t& at) {
  const uint8_t* h = window.At(at, kLocalHeader);
  if (!h) return false;
  const uint16_t flags = Le16(h + 6), method = Le16(h + 8);
  uint64_t compressed = Le32(h + 18);
  const uint32_t nameBytes = Le16(h + 26), extraBytes = Le16(h + 28);
  const uint64_t extraAt = at + kLocalHeader + nameBytes;
  const uint64_t dataAt = extraAt + extraBytes;
  if (compressed == kUnknown32 && !Zip64CompressedSize(window, extraAt, extraBytes, compressed))
    return false;
  if (!(flags & kStreamed)) {
    if (compressed > window.Limit() - dataAt) return false;
    at = dataAt + compressed;
    return true;
  }
  DeflateEnd end;
  if (method != kDeflated || !InflatedStream(window, dataAt, end)) return false;
  at = end.offset;
  return SkipDescriptor(window, at, end.offset - dataAt);
}

}  // namespace

bool WalkZip(FileWindow& window, uint64_t& size) {
  uint64_t at = 0, members = 0, listed = 0;
  for (; RecordAt(window, at, kLocal); ++members)
    if (!SkipMember(window, at)) return false;
  for (; RecordAt(window, at, kCentral); ++listed) {
    const uint8_t* c = window.At(at, kCentralHeader);
    if (!c) return false;
    at += kCentralHeader + uint64_t{Le16(c + 28)} + Le16(c + 30) + Le16(c + 32);
  }
  if (RecordAt(window, at, kSignature)) {
    const uint8_t* s = window.At(at, 6);
    if (!s) return false;
    at += 6 + uint64_t{Le16(s + 4)};
  }
  if (RecordAt(window, at, kZip64End)) {
    const uint8_t* z = window.At(at, 12);
    if (!z || Le64At(z + 4) > window.Limit()) return false;
    at += 12 + Le64At(z + 4);
    if (!RecordAt(window, at, kZip64Locator)) return false;
    at += kZip64EndLocator;
  }
  const uint8_t* end = window.At(at, kEndRecord);
  if (members == 0 || members != listed || !end || !HasBytes(end, kEnd)) return false;
  uint16_t counted = Le16(end + 10);
  if (counted != 0xFFFF && counted != (listed & 0xFFFF)) return false;
  size = at + kEndRecord + Le16(end + 20);
  return true;
}

}  // namespace salvora
