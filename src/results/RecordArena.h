#pragma once
// Many found records held compactly: each record's fixed part as stored and
// its name in one shared buffer, instead of a 260-byte name field per
// record. A million found files fit in about a third of the memory.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "results/FoundRecord.h"

namespace salvora {

class RecordArena {
 public:
  // Appends a record; returns its index.
  uint32_t Add(const FoundRecord& record);
  void Reserve(size_t records);
  size_t Size() const { return heads_.size(); }

  // The whole record again, name included.
  FoundRecord Full(uint32_t index) const;
  // Every field but the name, into `out` (whose name is left as it is).
  void CopyFixed(uint32_t index, FoundRecord& out) const {
    std::memcpy(&out, heads_[index].fixed, kHeadBytes);
  }
  std::string_view Name(uint32_t index) const {
    const Head& head = heads_[index];
    return std::string_view(names_).substr(head.nameAt, head.nameLength);
  }
  uint64_t FileSize(uint32_t index) const { return Field<uint64_t>(index, offsetof(FoundRecord, fileSize)); }
  uint64_t WriteTime(uint32_t index) const { return Field<uint64_t>(index, offsetof(FoundRecord, writeTime)); }
  uint64_t CreateTime(uint32_t index) const { return Field<uint64_t>(index, offsetof(FoundRecord, createTime)); }
  bool IsFolder(uint32_t index) const { return Field<uint32_t>(index, offsetof(FoundRecord, isFolder)) != 0; }
  bool ContentOk(uint32_t index) const { return Field<uint32_t>(index, offsetof(FoundRecord, contentOk)) != 0; }
  // What identifies a record across views and listings: record number,
  // source tag and engine kind.
  uint64_t Key(uint32_t index) const;

 private:
  static constexpr size_t kHeadBytes = offsetof(FoundRecord, name);
#pragma pack(push, 1)
  struct Head {
    unsigned char fixed[kHeadBytes];
    uint64_t nameAt;
    uint16_t nameLength;
  };
#pragma pack(pop)

  template <typename T>
  T Field(uint32_t index, size_t offset) const {
    T value;
    std::memcpy(&value, heads_[index].fixed + offset, sizeof value);
    return value;
  }

  std::vector<Head> heads_;
  std::string names_;
};

// The key RecordArena::Key gives, for a whole record.
uint64_t RecordKey(const FoundRecord& record);

}  // namespace salvora
