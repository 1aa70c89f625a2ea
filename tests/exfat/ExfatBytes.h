#pragma once
// Hand-made exFAT entry sets, and cards filled by hand, for the cases no
// tool makes.
#include <cstdint>
#include <string>

#include "clusters/FatLayout.h"
#include "exfat/ExfatEntrySet.h"
#include "support/TestSupport.h"

namespace salvora::test {

struct SetPlan {
  std::u16string name = u"IMG_0001.JPG";
  uint16_t attributes = 0x20;
  ExfatStream stream{true, 10, 5000, 5000};
  uint32_t writeStamp = 0;
  uint8_t writeTenMs = 0;
  uint8_t writeUtcOffset = 0;
  bool deleted = false;
};

// The slots of a file or folder entry set with its checksum (written as
// while in use, then the in-use bits cleared for a deleted set).
std::string EntrySetBytes(const SetPlan& planned);

// Puts a little-endian value into bytes at `offset`.
void PutLe(std::string& bytes, size_t offset, uint64_t value, int width);

}  // namespace salvora::test

namespace salvora::test {

// A card made by mkfs.exfat (no mount needed) that tests fill by hand:
// entry sets written into its root, data into clusters, bits into its
// allocation bitmap and values into its FAT.
class HandCard {
 public:
  HandCard(const TempDir& dir, uint32_t clusterBytes = 4096, const std::string& size = "8M");
  const std::string& image() const { return image_; }
  const FatLayout& layout() const { return layout_; }
  bool ok() const { return ok_; }

  uint64_t ClusterOffset(uint32_t cluster) const;
  // Appends slots to the root after what mkfs.exfat put there.
  void AddToRoot(const std::string& slots);
  void WriteCluster(uint32_t cluster, const std::string& bytes);
  void MarkInUse(uint32_t cluster, bool used = true);
  void SetFatEntry(uint32_t cluster, uint32_t value);
  // The first cluster that mkfs.exfat left free.
  uint32_t FirstFreeCluster() const { return firstFree_; }

 private:
  std::string image_;
  FatLayout layout_;
  uint32_t bitmapCluster_ = 0;
  uint32_t firstFree_ = 0;
  size_t rootSlots_ = 0;
  bool ok_ = false;
};

}  // namespace salvora::test
