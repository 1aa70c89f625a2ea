#pragma once
// The sectors a fragment search reads again and again: the pieces of the
// file being rebuilt and the candidate continuations after them, held in
// 64 KiB blocks so that trying thousands of joins reads each block once.
// Reads go through the carving context (the scan's read-ahead first) and
// report progress as the size rules do, so the user can stop a long search.
#include <cstdint>
#include <vector>

#include "carving/CarveContext.h"

namespace salvora {

class SectorCache {
 public:
  // Forgets every block: the context's source may differ from the last use.
  void Begin(CarveContext& context);
  // Copies `length` bytes from absolute byte `at` of the source into `out`.
  // False when any lies past the source, cannot be read, or the user
  // stopped the scan.
  bool Read(uint64_t at, uint32_t length, uint8_t* out);
  // Whether a progress call answered non-zero.
  bool Stopped() const { return stopped_; }
  uint32_t SectorBytes() const { return sectorBytes_; }
  // Sectors of the source from absolute sector `sector` on.
  uint64_t SectorsLeftFrom(uint64_t sector) const;

 private:
  const uint8_t* Block(uint64_t index, uint32_t& valid);

  static constexpr uint32_t kBlockBytes = kScanBufferBytes;
  static constexpr size_t kBlocks = 64;
  CarveContext* context_ = nullptr;
  uint32_t sectorBytes_ = 0;
  bool stopped_ = false;
  std::vector<uint8_t> memory_;
  std::vector<uint64_t> tags_;     // block index + 1 held in each slot, 0 for none
  std::vector<uint32_t> valid_;    // bytes of the slot that were read
};

}  // namespace salvora
