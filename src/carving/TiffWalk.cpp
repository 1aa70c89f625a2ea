// A TIFF's length from its directories: the furthest end of every image
// file directory, every value kept outside one, and every strip and tile
// the directories point at, through the chain of directories and the
// sub-directories (Exif, GPS, interoperability, sub-images) they name.
#include <algorithm>
#include <vector>

#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {
namespace {

constexpr uint32_t kHeaderBytes = 8;
constexpr uint32_t kEntryBytes = 12;
constexpr uint32_t kMaxEntries = 4096;
constexpr size_t kMaxDirectories = 256;
constexpr uint32_t kMaxPieces = 1u << 20;  // strips or tiles of one directory

enum Tag : uint16_t {
  kStripOffsets = 273,
  kStripByteCounts = 279,
  kTileOffsets = 324,
  kTileByteCounts = 325,
  kSubImages = 330,
  kJpegOffset = 513,
  kJpegLength = 514,
  kExif = 34665,
  kGps = 34853,
  kInteroperability = 40965,
};

// Bytes of one value of each field type (0: not a type of the format).
uint32_t TypeBytes(uint16_t type) {
  static const uint8_t kBytes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < sizeof(kBytes) ? kBytes[type] : 0;
}

struct Entry {
  uint16_t tag = 0, type = 0;
  uint32_t count = 0;
  uint64_t valuesAt = 0;  // file offset of the values (inside the entry when they fit)
  uint64_t bytes = 0;
};

class TiffReader {
 public:
  TiffReader(FileWindow& window, bool bigEndian) : window_(window), bigEndian_(bigEndian) {}

  bool U16(uint64_t at, uint16_t& value) {
    const uint8_t* p = window_.At(at, 2);
    if (p) value = bigEndian_ ? Be16(p) : Le16(p);
    return p != nullptr;
  }
  bool U32(uint64_t at, uint32_t& value) {
    const uint8_t* p = window_.At(at, 4);
    if (p) value = bigEndian_ ? Be32(p) : Le32(p);
    return p != nullptr;
  }
  bool ReadEntry(uint64_t at, Entry& e) {
    uint32_t offset = 0;
    if (!U16(at, e.tag) || !U16(at + 2, e.type) || !U32(at + 4, e.count) || !U32(at + 8, offset))
      return false;
    e.bytes = uint64_t{TypeBytes(e.type)} * e.count;
    e.valuesAt = e.bytes <= 4 ? at + 8 : offset;
    return TypeBytes(e.type) != 0;
  }
  // Value `index` of a SHORT or LONG entry.
  bool Value(const Entry& e, uint32_t index, uint32_t& value) {
    uint64_t at = e.valuesAt + uint64_t{index} * TypeBytes(e.type);
    if (e.type == 3) {
      uint16_t v = 0;
      if (!U16(at, v)) return false;
      value = v;
      return true;
    }
    return (e.type == 4 || e.type == 13) && U32(at, value);
  }

 private:
  FileWindow& window_;
  bool bigEndian_;
};

class TiffWalker {
 public:
  TiffWalker(FileWindow& window, bool bigEndian) : reader_(window, bigEndian) {}

  bool Walk(uint32_t firstDirectory, uint64_t& size) {
    pending_.push_back(firstDirectory);
    while (!pending_.empty()) {
      uint32_t directory = pending_.back();
      pending_.pop_back();
      if (std::find(seen_.begin(), seen_.end(), directory) != seen_.end()) continue;
      if (seen_.size() == kMaxDirectories || !WalkDirectory(directory)) return false;
      seen_.push_back(directory);
    }
    size = end_;
    return pictured_;
  }

 private:
  void Reach(uint64_t end) { end_ = std::max(end_, end); }

  bool WalkDirectory(uint32_t at) {
    uint16_t entries = 0;
    if (at < kHeaderBytes || !reader_.U16(at, entries) || entries == 0 || entries > kMaxEntries)
      return false;
    uint64_t next = at + 2 + uint64_t{entries} * kEntryBytes;
    uint32_t following = 0;
    if (!reader_.U32(next, following)) return false;
    Reach(next + 4);
    Entry offsets[2], counts[2];  // strips, tiles
    bool haveJpeg = false;
    uint32_t jpegAt = 0, jpegBytes = 0;
    for (uint32_t i = 0; i < entries; ++i) {
      Entry e;
      if (!reader_.ReadEntry(at + 2 + uint64_t{i} * kEntryBytes, e)) continue;  // unknown type
      Reach(e.valuesAt + e.bytes);
      switch (e.tag) {
        case kStripOffsets:
          offsets[0] = e;
          break;
        case kStripByteCounts:
          counts[0] = e;
          break;
        case kTileOffsets:
          offsets[1] = e;
          break;
        case kTileByteCounts:
          counts[1] = e;
          break;
        case kJpegOffset:
          haveJpeg = reader_.Value(e, 0, jpegAt);
          break;
        case kJpegLength:
          reader_.Value(e, 0, jpegBytes);
          break;
        case kSubImages:
        case kExif:
        case kGps:
        case kInteroperability:
          if (!QueueDirectories(e)) return false;
          break;
        default:
          break;
      }
    }
    for (int kind = 0; kind < 2; ++kind)
      if (!ReachPieces(offsets[kind], counts[kind])) return false;
    if (haveJpeg && jpegBytes != 0) {
      Reach(uint64_t{jpegAt} + jpegBytes);
      pictured_ = true;
    }
    if (following != 0) pending_.push_back(following);
    return true;
  }

  bool QueueDirectories(const Entry& e) {
    for (uint32_t i = 0; i < e.count && i < kMaxDirectories; ++i) {
      uint32_t directory = 0;
      if (!reader_.Value(e, i, directory)) return false;
      pending_.push_back(directory);
    }
    return true;
  }

  // Every strip (or tile) ends at its offset plus its byte count.
  bool ReachPieces(const Entry& offsets, const Entry& counts) {
    if (offsets.count == 0 && counts.count == 0) return true;
    if (offsets.count != counts.count || offsets.count > kMaxPieces) return false;
    for (uint32_t i = 0; i < offsets.count; ++i) {
      uint32_t offset = 0, bytes = 0;
      if (!reader_.Value(offsets, i, offset) || !reader_.Value(counts, i, bytes)) return false;
      Reach(uint64_t{offset} + bytes);
    }
    pictured_ = true;
    return true;
  }

  TiffReader reader_;
  std::vector<uint32_t> pending_, seen_;
  uint64_t end_ = kHeaderBytes;
  bool pictured_ = false;
};

}  // namespace

bool WalkTiff(FileWindow& window, uint64_t& size) {
  const uint8_t* header = window.At(0, kHeaderBytes);
  if (!header) return false;
  bool bigEndian = header[0] == 'M';
  uint32_t first = bigEndian ? Be32(header + 4) : Le32(header + 4);
  uint64_t end = 0;
  if (!TiffWalker(window, bigEndian).Walk(first, end) || end > window.Limit()) return false;
  size = end;
  return true;
}

}  // namespace salvora
