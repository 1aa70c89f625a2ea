#pragma once
// Many found records held compactly: each record's own fields, the fields
// all records of one volume share (source, engine, cluster size, data area,
// volume start) once per volume, and names in shared name blocks, instead
// of a 260-byte name field per record. Records and names are kept in blocks
// of fixed size, so that a listing of unknown length grows without ever
// being copied whole. A million found files fit in about a quarter of the
// memory.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "results/FoundRecord.h"

namespace salvora {

namespace arena_layout {

// Byte ranges of a FoundRecord: those each record keeps, and those its
// volume holds for all of them.
struct Span {
  size_t from, to;
};
inline constexpr Span kOwnSpans[] = {
    {offsetof(FoundRecord, isFolder), offsetof(FoundRecord, clusterBytes)},
    {offsetof(FoundRecord, createTime), offsetof(FoundRecord, dataAreaSector)},
    {offsetof(FoundRecord, entrySector), offsetof(FoundRecord, volumeFirstSector)}};
inline constexpr Span kVolumeSpans[] = {
    {0, offsetof(FoundRecord, isFolder)},
    {offsetof(FoundRecord, clusterBytes), offsetof(FoundRecord, createTime)},
    {offsetof(FoundRecord, dataAreaSector), offsetof(FoundRecord, entrySector)},
    {offsetof(FoundRecord, volumeFirstSector), offsetof(FoundRecord, name)}};

template <size_t N>
constexpr size_t BytesOf(const Span (&spans)[N]) {
  size_t bytes = 0;
  for (const Span& span : spans) bytes += span.to - span.from;
  return bytes;
}
inline constexpr size_t kOwnBytes = BytesOf(kOwnSpans);
inline constexpr size_t kVolumeBytes = BytesOf(kVolumeSpans);
static_assert(kOwnBytes + kVolumeBytes == offsetof(FoundRecord, name));

// Where a field of a record's own part lies among its own bytes;
// kOwnBytes for a field its volume holds.
constexpr size_t OwnOffset(size_t recordOffset) {
  size_t at = 0;
  for (const Span& span : kOwnSpans) {
    if (recordOffset >= span.from && recordOffset < span.to) return at + recordOffset - span.from;
    at += span.to - span.from;
  }
  return kOwnBytes;
}

}  // namespace arena_layout

class RecordArena {
 public:
  RecordArena() = default;
  // A moved-from arena is empty, not one that claims records it lost.
  RecordArena(RecordArena&& other) noexcept { *this = std::move(other); }
  RecordArena& operator=(RecordArena&& other) noexcept;

  // Appends a record; returns its index.
  uint32_t Add(const FoundRecord& record);
  size_t Size() const { return size_; }

  // The whole record again, name included.
  FoundRecord Full(uint32_t index) const;
  // Every field but the name, into `out` (whose name is left as it is).
  void CopyFixed(uint32_t index, FoundRecord& out) const;
  std::string_view Name(uint32_t index) const {
    const Head& head = HeadAt(index);
    return std::string_view(names_[head.nameAt >> kNameBlockBits])
        .substr(head.nameAt & (kNameBlockBytes - 1), head.nameLength);
  }
  uint64_t FileSize(uint32_t index) const {
    return Own<uint64_t, offsetof(FoundRecord, fileSize)>(index);
  }
  uint64_t WriteTime(uint32_t index) const {
    return Own<uint64_t, offsetof(FoundRecord, writeTime)>(index);
  }
  uint64_t CreateTime(uint32_t index) const {
    return Own<uint64_t, offsetof(FoundRecord, createTime)>(index);
  }
  bool IsFolder(uint32_t index) const {
    return Own<uint32_t, offsetof(FoundRecord, isFolder)>(index) != 0;
  }
  bool ContentOk(uint32_t index) const {
    return Own<uint32_t, offsetof(FoundRecord, contentOk)>(index) != 0;
  }
  // What identifies a record across views and listings: record number,
  // source tag and engine kind.
  uint64_t Key(uint32_t index) const;

  // Puts the records from `first` on into listing order (ListingOrder.h).
  void SortListing(size_t first = 0);

 private:
  static constexpr size_t kOwnBytes = arena_layout::kOwnBytes;
  using Volume = std::array<unsigned char, arena_layout::kVolumeBytes>;

  static constexpr size_t kHeadBlockBits = 12;
  static constexpr size_t kHeadsPerBlock = size_t{1} << kHeadBlockBits;
  static constexpr size_t kNameBlockBits = 20;
  static constexpr size_t kNameBlockBytes = size_t{1} << kNameBlockBits;
#pragma pack(push, 1)
  struct Head {
    unsigned char own[kOwnBytes];
    uint32_t volume;  // index into volumes_
    uint64_t nameAt;  // name block << kNameBlockBits | offset in the block
    uint16_t nameLength;
  };
#pragma pack(pop)

  const Head& HeadAt(size_t index) const {
    return heads_[index >> kHeadBlockBits][index & (kHeadsPerBlock - 1)];
  }
  Head& HeadAt(size_t index) {
    return heads_[index >> kHeadBlockBits][index & (kHeadsPerBlock - 1)];
  }
  uint64_t AddName(const char* name, size_t length);
  uint32_t VolumeOf(const FoundRecord& record);

  template <typename T, size_t kRecordOffset>
  T Own(uint32_t index) const {
    constexpr size_t at = arena_layout::OwnOffset(kRecordOffset);
    static_assert(at + sizeof(T) <= kOwnBytes, "a field the volume holds, not the record");
    T value;
    std::memcpy(&value, HeadAt(index).own + at, sizeof value);
    return value;
  }

  std::vector<std::unique_ptr<Head[]>> heads_;
  std::vector<std::string> names_;
  std::vector<Volume> volumes_;
  std::map<Volume, uint32_t> volumeIndex_;
  uint32_t lastVolume_ = 0;  // records come volume by volume
  size_t size_ = 0;
};

// The key RecordArena::Key gives, for a whole record.
uint64_t RecordKey(const FoundRecord& record);

}  // namespace salvora
