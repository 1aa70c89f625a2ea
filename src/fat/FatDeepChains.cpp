#include "fat/FatDeepChains.h"

#include <algorithm>
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

bool ContinuesChain(const OpenChain& chain, const ChainLink& link, uint64_t sector) {
  bool adjacent = chain.lastSector + 1 == sector;
  switch (link.kind) {
    case ChainLink::kLongName:
    case ChainLink::kShortName:
      return link.checksum == chain.checksum && (adjacent || chain.mayJump);
    case ChainLink::kDeletedShort:
      return adjacent;
    case ChainLink::kNone:
      return false;
  }
  return false;
}

bool FatDeepOpenChains::TakeContinued(const ChainLink& link, uint64_t sector, OpenChain& out) {
  std::erase_if(chains_,
                [&](const OpenChain& c) { return !c.mayJump && c.lastSector + 1 < sector; });
  auto adjacent = std::find_if(chains_.begin(), chains_.end(), [&](const OpenChain& c) {
    return c.lastSector + 1 == sector && ContinuesChain(c, link, sector);
  });
  auto chosen = adjacent != chains_.end()
                    ? adjacent
                    : std::find_if(chains_.begin(), chains_.end(), [&](const OpenChain& c) {
                        return c.lastSector < sector && ContinuesChain(c, link, sector);
                      });
  if (chosen == chains_.end()) return false;
  out = std::move(*chosen);
  chains_.erase(chosen);
  return true;
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
