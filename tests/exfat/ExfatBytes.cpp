#include "exfat/ExfatBytes.h"

#include "exfat/ExfatBootSector.h"
#include "storage/LittleEndian.h"

namespace salvora::test {

void PutLe(std::string& bytes, size_t offset, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

std::string EntrySetBytes(const SetSpec& spec) {
  size_t nameSlots = (spec.name.size() + 14) / 15;
  size_t slots = 2 + nameSlots;
  std::string set(slots * kExfatSlotBytes, '\0');
  set[0] = static_cast<char>(kExfatFileEntry);
  set[1] = static_cast<char>(slots - 1);
  PutLe(set, 4, spec.attributes, 2);
  PutLe(set, 12, spec.writeStamp, 4);
  set[21] = static_cast<char>(spec.writeTenMs);
  set[23] = static_cast<char>(spec.writeUtcOffset);
  std::string::size_type stream = kExfatSlotBytes;
  set[stream] = static_cast<char>(kExfatStreamEntry);
  set[stream + 1] = static_cast<char>(0x01 | (spec.stream.noFatChain ? 0x02 : 0));
  set[stream + 3] = static_cast<char>(spec.name.size());
  PutLe(set, stream + 8, spec.stream.validDataLength, 8);
  PutLe(set, stream + 20, spec.stream.firstCluster, 4);
  PutLe(set, stream + 24, spec.stream.dataLength, 8);
  for (size_t i = 0; i < nameSlots; ++i) {
    size_t slot = (2 + i) * kExfatSlotBytes;
    set[slot] = static_cast<char>(kExfatNameEntry);
    for (size_t unit = 0; unit < 15 && i * 15 + unit < spec.name.size(); ++unit)
      PutLe(set, slot + 2 + 2 * unit, spec.name[i * 15 + unit], 2);
  }
  auto* raw = reinterpret_cast<const uint8_t*>(set.data());
  PutLe(set, 2, EntrySetChecksum(raw, slots, false), 2);
  if (spec.deleted)
    for (size_t i = 0; i < slots; ++i) set[i * kExfatSlotBytes] &= 0x7F;
  return set;
}

}  // namespace salvora::test

namespace salvora::test {

HandCard::HandCard(const TempDir& dir, uint32_t clusterBytes, const std::string& size)
    : image_(dir / "hand.img") {
  if (Run("truncate -s " + size + " " + Quote(image_) + " && mkfs.exfat -c " +
          std::to_string(clusterBytes) + " " + Quote(image_)) != 0)
    return;
  std::string boot = ReadImage(image_, 0, 512);
  ExfatBootFields fields;
  auto* raw = reinterpret_cast<const uint8_t*>(boot.data());
  if (!ReadExfatBootFields(raw, boot.size(), fields) ||
      DeriveExfatLayout(fields, UINT64_MAX, layout_) != 0)
    return;
  std::string root = ReadImage(image_, ClusterOffset(layout_.rootCluster), 4096);
  while (rootSlots_ * 32 < root.size() && root[rootSlots_ * 32] != 0) {
    const char* slot = root.data() + rootSlots_ * 32;
    if (static_cast<uint8_t>(slot[0]) == kExfatBitmapEntry)
      bitmapCluster_ = static_cast<uint32_t>(Le32(reinterpret_cast<const uint8_t*>(slot) + 20));
    ++rootSlots_;
  }
  std::string bits = ReadImage(image_, ClusterOffset(bitmapCluster_), 64);
  for (firstFree_ = 2;
       static_cast<uint8_t>(bits[(firstFree_ - 2) / 8]) >> ((firstFree_ - 2) % 8) & 1;)
    ++firstFree_;
  ok_ = bitmapCluster_ != 0;
}

uint64_t HandCard::ClusterOffset(uint32_t cluster) const {
  return layout_.ClusterSector(cluster) * layout_.bytesPerSector;
}

void HandCard::AddToRoot(const std::string& slots) {
  PatchImage(image_, ClusterOffset(layout_.rootCluster) + rootSlots_ * 32, slots);
  rootSlots_ += slots.size() / 32;
}

void HandCard::WriteCluster(uint32_t cluster, const std::string& bytes) {
  PatchImage(image_, ClusterOffset(cluster), bytes);
}

void HandCard::MarkInUse(uint32_t cluster, bool used) {
  uint64_t at = ClusterOffset(bitmapCluster_) + (cluster - 2) / 8;
  uint8_t byte = static_cast<uint8_t>(ReadImage(image_, at, 1)[0]);
  uint8_t bit = static_cast<uint8_t>(1u << ((cluster - 2) % 8));
  byte = used ? (byte | bit) : (byte & ~bit);
  PatchImage(image_, at, std::string(1, static_cast<char>(byte)));
}

void HandCard::SetFatEntry(uint32_t cluster, uint32_t value) {
  std::string bytes(4, '\0');
  PutLe(bytes, 0, value, 4);
  PatchImage(image_, layout_.fatStart * layout_.bytesPerSector + 4ull * cluster, bytes);
}

}  // namespace salvora::test
