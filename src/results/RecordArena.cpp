#include "results/RecordArena.h"

#include "results/ListingOrder.h"

namespace salvora {
namespace {

using arena_layout::kOwnSpans;
using arena_layout::kVolumeSpans;
using arena_layout::Span;

template <size_t N>
void Gather(const FoundRecord& record, const Span (&spans)[N], unsigned char* out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  for (const Span& span : spans) {
    std::memcpy(out, bytes + span.from, span.to - span.from);
    out += span.to - span.from;
  }
}

template <size_t N>
void Scatter(const unsigned char* in, const Span (&spans)[N], FoundRecord& record) {
  auto* bytes = reinterpret_cast<unsigned char*>(&record);
  for (const Span& span : spans) {
    std::memcpy(bytes + span.from, in, span.to - span.from);
    in += span.to - span.from;
  }
}

}  // namespace

uint64_t RecordKey(const FoundRecord& record) {
  return uint64_t{record.recordNo} << 32 | uint64_t{record.sourceTag} << 16 |
         (record.engineKind & 0xFFFF);
}

RecordArena& RecordArena::operator=(RecordArena&& other) noexcept {
  if (this == &other) return *this;
  heads_ = std::exchange(other.heads_, {});
  names_ = std::exchange(other.names_, {});
  volumes_ = std::exchange(other.volumes_, {});
  volumeIndex_ = std::exchange(other.volumeIndex_, {});
  lastVolume_ = std::exchange(other.lastVolume_, 0);
  size_ = std::exchange(other.size_, 0);
  return *this;
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

uint32_t RecordArena::VolumeOf(const FoundRecord& record) {
  Volume volume;
  Gather(record, kVolumeSpans, volume.data());
  if (!volumes_.empty() && volumes_[lastVolume_] == volume) return lastVolume_;
  auto [known, added] = volumeIndex_.emplace(volume, static_cast<uint32_t>(volumes_.size()));
  if (added) volumes_.push_back(volume);
  lastVolume_ = known->second;
  return lastVolume_;
}

uint32_t RecordArena::Add(const FoundRecord& record) {
  // Blocks are allocated, not filled: pages no record reaches stay untouched.
  if (size_ == heads_.size() * kHeadsPerBlock)
    heads_.push_back(std::unique_ptr<Head[]>(new Head[kHeadsPerBlock]));
  Head& head = HeadAt(size_);
  Gather(record, kOwnSpans, head.own);
  head.volume = VolumeOf(record);
  head.nameLength = static_cast<uint16_t>(RecordNameLength(record.name));
  head.nameAt = AddName(record.name, head.nameLength);
  return static_cast<uint32_t>(size_++);
}

void RecordArena::CopyFixed(uint32_t index, FoundRecord& out) const {
  const Head& head = HeadAt(index);
  Scatter(head.own, kOwnSpans, out);
  Scatter(volumes_[head.volume].data(), kVolumeSpans, out);
}

FoundRecord RecordArena::Full(uint32_t index) const {
  FoundRecord record{};
  CopyFixed(index, record);
  std::string_view name = Name(index);
  std::memcpy(record.name, name.data(), name.size());
  return record;
}

uint64_t RecordArena::Key(uint32_t index) const {
  // Source tag and engine kind lead the volume's bytes, as they lead a record.
  const Volume& volume = volumes_[HeadAt(index).volume];
  uint16_t sourceTag;
  uint32_t engineKind;
  std::memcpy(&sourceTag, volume.data() + offsetof(FoundRecord, sourceTag), sizeof sourceTag);
  std::memcpy(&engineKind, volume.data() + offsetof(FoundRecord, engineKind), sizeof engineKind);
  return uint64_t{Own<uint32_t, offsetof(FoundRecord, recordNo)>(index)} << 32 |
         uint64_t{sourceTag} << 16 | (engineKind & 0xFFFF);
}

void RecordArena::SortListing(size_t first) {
  if (first + 1 >= size_) return;
  std::vector<uint32_t> order = ListingOrder(
      size_ - first, [&](uint32_t i) { return Name(static_cast<uint32_t>(first + i)); },
      [&](uint32_t i) { return IsFolder(static_cast<uint32_t>(first + i)); });
  MoveIntoOrder(std::move(order), [&](uint32_t i) -> Head& { return HeadAt(first + i); });
  // The names follow their records into the new order: a sorted listing
  // is read front to back over and over (filters, sorts), and names read
  // in one sweep cost a fraction of names read from all over.
  std::vector<std::string> unordered = std::exchange(names_, {});
  for (size_t i = 0; i < size_; ++i) {
    Head& head = HeadAt(i);
    const std::string& block = unordered[head.nameAt >> kNameBlockBits];
    head.nameAt = AddName(block.data() + (head.nameAt & (kNameBlockBytes - 1)), head.nameLength);
  }
}

}  // namespace salvora
