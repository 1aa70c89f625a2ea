// A Matroska or WebM file's length: the EBML header, then the segment,
// whose size says where the file ends. A segment written live has no size;
// then its top-level elements are walked, and clusters without a size too,
// child by child, up to the first element that belongs to neither.
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kEbmlHeader = 0x1A45DFA3;
constexpr uint32_t kSegment = 0x18538067;
constexpr uint32_t kCluster = 0x1F43B675;
constexpr uint64_t kUnknownSize = UINT64_MAX;

struct Element {
  uint32_t id = 0;
  uint64_t size = 0;  // kUnknownSize when the writer did not know it
  uint64_t dataAt = 0;
};

// A variable-length number of one to `maxBytes` bytes at `at`; with
// `keepMarker` (element IDs) its length bit stays in the value.
bool ReadVint(FileWindow& window, uint64_t& at, uint32_t maxBytes, bool keepMarker,
              uint64_t& value) {
  const uint8_t* first = window.At(at, 1);
  if (!first || *first == 0) return false;
  uint32_t length = 1;
  while (!(*first & (0x80 >> (length - 1)))) ++length;
  if (length > maxBytes) return false;
  const uint8_t* p = window.At(at, length);
  if (!p) return false;
  value = keepMarker ? p[0] : p[0] & (0xFF >> length);
  bool allOnes = ((p[0] | (0xFF << (8 - length))) & 0xFF) == 0xFF;
  for (uint32_t i = 1; i < length; ++i) {
    value = value << 8 | p[i];
    allOnes = allOnes && p[i] == 0xFF;
  }
  if (!keepMarker && allOnes) value = kUnknownSize;
  at += length;
  return true;
}

bool ReadElement(FileWindow& window, uint64_t at, Element& element) {
  uint64_t id = 0;
  if (!ReadVint(window, at, 4, true, id) || !ReadVint(window, at, 8, false, element.size))
    return false;
  element.id = static_cast<uint32_t>(id);
  element.dataAt = at;
  return element.size == kUnknownSize || element.size <= window.Limit() - at;
}

bool IsSegmentChild(uint32_t id) {
  switch (id) {
    case 0x114D9B74:  // seek head
    case 0x1549A966:  // info
    case 0x1654AE6B:  // tracks
    case kCluster:
    case 0x1C53BB6B:  // cues
    case 0x1941A469:  // attachments
    case 0x1043A770:  // chapters
    case 0x1254C367:  // tags
    case 0xEC:        // void
    case 0xBF:        // CRC-32
      return true;
    default:
      return false;
  }
}

bool IsClusterChild(uint32_t id) {
  switch (id) {
    case 0xE7:    // timestamp
    case 0x5854:  // silent tracks
    case 0xA7:    // position
    case 0xAB:    // previous size
    case 0xA3:    // simple block
    case 0xA0:    // block group
    case 0xAF:    // encrypted block
    case 0xEC:    // void
    case 0xBF:    // CRC-32
      return true;
    default:
      return false;
  }
}

// Walks elements from `at` while `belongs` takes them; a cluster of unknown
// size is walked through its children. Returns where the walk ended.
uint64_t WalkChildren(FileWindow& window, uint64_t at, bool (*belongs)(uint32_t)) {
  Element element;
  while (ReadElement(window, at, element) && belongs(element.id)) {
    if (element.size != kUnknownSize)
      at = element.dataAt + element.size;
    else if (element.id == kCluster)
      at = WalkChildren(window, element.dataAt, IsClusterChild);
    else
      break;
  }
  return at;
}

}  // namespace

bool WalkMatroska(FileWindow& window, uint64_t& size) {
  Element header, segment;
  if (!ReadElement(window, 0, header) || header.id != kEbmlHeader || header.size == kUnknownSize ||
      !ReadElement(window, header.dataAt + header.size, segment) || segment.id != kSegment)
    return false;
  if (segment.size != kUnknownSize) {
    size = segment.dataAt + segment.size;
    return true;
  }
  uint64_t end = WalkChildren(window, segment.dataAt, IsSegmentChild);
  if (end == segment.dataAt) return false;
  size = end;
  return true;
}

}  // namespace salvora
