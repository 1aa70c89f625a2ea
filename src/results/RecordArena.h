#pragma once
// Many found records held compactly: each record's fixed part as stored and
// its name in shared name blocks, instead of a 260-byte name field per
// record. Both are kept in blocks of fixed size, so that a listing of
// unknown length grows without ever being copied whole. A million found
// files fit in about a third of the memory.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "results/FoundRecord.h"

namespace salvora {

class RecordArena {
 public:
  RecordArena() = default;
  // A moved-from arena is empty, not one that claims records it lost.
  RecordArena(RecordArena&& other) noexcept { *this = std::move(other); }
  RecordArena& operator=(RecordArena&& other) noexcept {
    if (this == &other) return *this;
    heads_ = std::move(other.heads_);
    names_ = std::move(other.names_);
    size_ = std::exchange(other.size_, 0);
    other.heads_.clear();
    other.names_.clear();
    return *this;
  }

  // Appends a record; returns its index.
  uint32_t Add(const FoundRecord& record);
  size_t Size() const { return size_; }

  // The whole record again, name included.
  FoundRecord Full(uint32_t index) const;
  // Every field but the name, into `out` (whose name is left as it is).
  void CopyFixed(uint32_t index, FoundRecord& out) const {
    std::memcpy(&out, HeadAt(index).fixed, kHeadBytes);
  }
  std::string_view Name(uint32_t index) const {
    const Head& head = HeadAt(index);
    return std::string_view(names_[head.nameAt >> kNameBlockBits])
        .substr(head.nameAt & (kNameBlockBytes - 1), head.nameLength);
  }
  uint64_t FileSize(uint32_t index) const { return Field<uint64_t>(index, offsetof(FoundRecord, fileSize)); }
  uint64_t WriteTime(uint32_t index) const { return Field<uint64_t>(index, offsetof(FoundRecord, writeTime)); }
  uint64_t CreateTime(uint32_t index) const { return Field<uint64_t>(index, offsetof(FoundRecord, createTime)); }
  bool IsFolder(uint32_t index) const { return Field<uint32_t>(index, offsetof(FoundRecord, isFolder)) != 0; }
  bool ContentOk(uint32_t index) const { return Field<uint32_t>(index, offsetof(FoundRecord, contentOk)) != 0; }
  // What identifies a record across views and listings: record number,
  // source tag and engine kind.
  uint64_t Key(uint32_t index) const;

  // Puts the records from `first` on into listing order (ListingOrder.h).
  void SortListing(size_t first = 0);

 private:
  static constexpr size_t kHeadBytes = offsetof(FoundRecord, name);
  static constexpr size_t kHeadBlockBits = 12;
  static constexpr size_t kHeadsPerBlock = size_t{1} << kHeadBlockBits;
  static constexpr size_t kNameBlockBits = 20;
  static constexpr size_t kNameBlockBytes = size_t{1} << kNameBlockBits;
#pragma pack(push, 1)
  struct Head {
    unsigned char fixed[kHeadBytes];
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

  template <typename T>
  T Field(uint32_t index, size_t offset) const {
    T value;
    std::memcpy(&value, HeadAt(index).fixed + offset, sizeof value);
    return value;
  }

  std::vector<std::unique_ptr<Head[]>> heads_;
  std::vector<std::string> names_;
  size_t size_ = 0;
};

// The key RecordArena::Key gives, for a whole record.
uint64_t RecordKey(const FoundRecord& record);

}  // namespace salvora
