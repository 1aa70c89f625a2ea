#include "results/RecordArena.h"

#include "results/ListingOrder.h"

namespace salvora {

uint64_t RecordKey(const FoundRecord& record) {
  return uint64_t{record.recordNo} << 32 | uint64_t{record.sourceTag} << 16 |
         (record.engineKind & 0xFFFF);
}

uint64_t RecordArena::AddName(const char* name, size_t length) {
  // A name never straddles two blocks; the few bytes a block leaves at its
  // end are the price of never moving the names already held.
  if (names_.empty() || names_.back().size() + length > kNameBlockBytes) {
    names_.emplace_back();
    names_.back().reserve(kNameBlockBytes);
  }
  std::string& block = names_.back();
  uint64_t at = uint64_t{names_.size() - 1} << kNameBlockBits | block.size();
  block.append(name, length);
  return at;
}

uint32_t RecordArena::Add(const FoundRecord& record) {
  // Blocks are allocated, not filled: pages no record reaches stay untouched.
  if (size_ == heads_.size() * kHeadsPerBlock)
    heads_.push_back(std::unique_ptr<Head[]>(new Head[kHeadsPerBlock]));
  Head& head = HeadAt(size_);
  std::memcpy(head.fixed, &record, kHeadBytes);
  head.nameLength = static_cast<uint16_t>(RecordNameLength(record.name));
  head.nameAt = AddName(record.name, head.nameLength);
  return static_cast<uint32_t>(size_++);
}

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

void RecordArena::SortListing(size_t first) {
  if (first + 1 >= size_) return;
  std::vector<uint32_t> order = ListingOrder(
      size_ - first, [&](uint32_t i) { return Name(static_cast<uint32_t>(first + i)); },
      [&](uint32_t i) { return IsFolder(static_cast<uint32_t>(first + i)); });
  MoveIntoOrder(std::move(order), [&](uint32_t i) -> Head& { return HeadAt(first + i); });
}

}  // namespace salvora
