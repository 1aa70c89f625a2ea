#include "fat/FatDeepChains.h"

#include <utility>

#include "fat/FatDirEntry.h"

namespace salvora {
namespace {

// Bounds what a hostile disk can make the sweep hold: open chains are a few
// hundred bytes each, unplaced sectors one sector each (16 MiB at 512 bytes).
constexpr size_t kMaxOpenChains = 64;
constexpr size_t kMaxUnplacedSectors = 1u << 15;

}  // namespace

ChainLink LinkOfSector(const uint8_t* sector, size_t length) {
  if (length < kDirEntryBytes) return {};
  FatDirEntry first = LoadDirEntry(sector);
  if (IsEndOfDirectory(first)) return {};
  // A long-name entry keeps its short entry's checksum at byte 13.
  if (IsLongNameEntry(first)) return {ChainLink::kLongName, first.createTenMs};
  if (IsDeletedEntry(first)) return {ChainLink::kDeletedShort, 0};
  return {ChainLink::kShortName, ShortNameChecksum(first.name)};
}

void FatDeepOpenChains::Add(OpenChain chain) {
  if (chains_.size() >= kMaxOpenChains) chains_.pop_front();
  chains_.push_back(std::move(chain));
}

// A deleted short entry has lost its first name byte and with it the
// checksum, so it can only continue the chain cut at the sector before it.
bool FatDeepOpenChains::TakeContinued(const ChainLink& link, uint64_t sector, OpenChain& out) {
  for (auto it = chains_.begin(); it != chains_.end(); ++it) {
    bool continues = link.kind == ChainLink::kDeletedShort
                         ? it->lastSector + 1 == sector
                         : link.kind != ChainLink::kNone && it->checksum == link.checksum;
    if (!continues) continue;
    out = std::move(*it);
    chains_.erase(it);
    return true;
  }
  return false;
}

void FatDeepUnplacedSectors::Clear() {
  sectors_.clear();
  byChecksum_.clear();
}

bool FatDeepUnplacedSectors::Keep(uint64_t sector, const uint8_t* bytes, size_t length) {
  if (sectors_.size() >= kMaxUnplacedSectors || sectors_.count(sector)) return false;
  Kept kept{LinkOfSector(bytes, length), std::vector<uint8_t>(bytes, bytes + length)};
  if (kept.link.kind == ChainLink::kLongName || kept.link.kind == ChainLink::kShortName) {
    byChecksum_.insert({kept.link.checksum, sector});
  }
  sectors_.emplace(sector, std::move(kept));
  return true;
}

bool FatDeepUnplacedSectors::TakeFirst(uint64_t& sector, std::vector<uint8_t>& bytes) {
  if (sectors_.empty()) return false;
  Take(sectors_.begin(), sector, bytes);
  return true;
}

void FatDeepUnplacedSectors::Take(std::map<uint64_t, Kept>::iterator it, uint64_t& sector,
                                  std::vector<uint8_t>& bytes) {
  sector = it->first;
  bytes = std::move(it->second.bytes);
  byChecksum_.erase({it->second.link.checksum, it->first});
  sectors_.erase(it);
}

}  // namespace salvora
