#include "carving/SectorCache.h"

#include <algorithm>
#include <cstring>

namespace salvora {

void SectorCache::Begin(CarveContext& context) {
  context_ = &context;
  sectorBytes_ = context.SectorSizeUsable() && kBlockBytes % context.SectorBytes() == 0
                     ? context.SectorBytes()
                     : 0;
  stopped_ = false;
  if (memory_.empty()) memory_.resize(kBlocks * kBlockBytes);
  tags_.assign(kBlocks, 0);
  valid_.assign(kBlocks, 0);
}

uint64_t SectorCache::SectorsLeftFrom(uint64_t sector) const {
  return context_ ? context_->SectorsLeftFrom(sector) : 0;
}

bool SectorCache::Read(uint64_t at, uint32_t length, uint8_t* out) {
  while (length > 0) {
    uint32_t valid = 0;
    const uint8_t* block = Block(at / kBlockBytes, valid);
    uint32_t inBlock = static_cast<uint32_t>(at % kBlockBytes);
    if (!block || inBlock >= valid) return false;
    uint32_t n = std::min(length, valid - inBlock);
    std::memcpy(out, block + inBlock, n);
    out += n;
    at += n;
    length -= n;
  }
  return true;
}

const uint8_t* SectorCache::Block(uint64_t index, uint32_t& valid) {
  if (!context_ || sectorBytes_ == 0 || stopped_) return nullptr;
  const size_t slot = index % kBlocks;
  uint8_t* memory = memory_.data() + slot * kBlockBytes;
  if (tags_[slot] == index + 1) {
    valid = valid_[slot];
    return memory;
  }
  const uint64_t first = index * (kBlockBytes / sectorBytes_);
  const uint32_t count = static_cast<uint32_t>(
      std::min<uint64_t>(kBlockBytes / sectorBytes_, context_->SectorsLeftFrom(first)));
  tags_[slot] = 0;
  if (count == 0 || !context_->ReadExact(first, count, memory)) return nullptr;
  if (!context_->ReportProgress(context_->sectorsDone)) {
    stopped_ = true;
    return nullptr;
  }
  tags_[slot] = index + 1;
  valid_[slot] = valid = count * sectorBytes_;
  return memory;
}

}  // namespace salvora
