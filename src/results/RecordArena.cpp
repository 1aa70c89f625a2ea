#include "results/RecordArena.h"

namespace salvora {

uint64_t RecordKey(const FoundRecord& record) {
  return uint64_t{record.recordNo} << 32 | uint64_t{record.sourceTag} << 16 |
         (record.engineKind & 0xFFFF);
}

uint32_t RecordArena::Add(const FoundRecord& record) {
  Head head;
  std::memcpy(head.fixed, &record, kHeadBytes);
  head.nameAt = names_.size();
  head.nameLength = static_cast<uint16_t>(RecordNameLength(record.name));
  names_.append(record.name, head.nameLength);
  heads_.push_back(head);
  return static_cast<uint32_t>(heads_.size() - 1);
}

void RecordArena::Reserve(size_t records) { heads_.reserve(records); }

FoundRecord RecordArena::Full(uint32_t index) const {
  FoundRecord record{};
  CopyFixed(index, record);
  std::string_view name = Name(index);
  std::memcpy(record.name, name.data(), name.size());
  return record;
}

uint64_t RecordArena::Key(uint32_t index) const {
  return uint64_t{Field<uint32_t>(index, offsetof(FoundRecord, recordNo))} << 32 |
         uint64_t{Field<uint16_t>(index, offsetof(FoundRecord, sourceTag))} << 16 |
         (Field<uint32_t>(index, offsetof(FoundRecord, engineKind)) & 0xFFFF);
}

}  // namespace salvora
