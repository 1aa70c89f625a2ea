#pragma once
// Long names whose entries are cut by a sector end. A directory sector may
// end inside a long-name chain whose short entry lies in the next sector of
// the directory; the sweep keeps such open chains and the directory sectors
// it could not place yet, so that the two halves can be joined later.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <vector>

namespace salvora {

// How a sector's first entry could continue a chain cut before it.
struct ChainLink {
  enum Kind { kNone, kLongName, kShortName, kDeletedShort };
  Kind kind = kNone;
  uint8_t checksum = 0;  // kLongName, kShortName
};
ChainLink LinkOfSector(const uint8_t* sector, size_t length);

struct OpenChain {
  uint8_t checksum = 0;
  uint32_t cluster = 0;        // directory the chain was found in
  int volume = -1;             // -1: not known when the chain was cut
  uint64_t blockSector = 0;    // sector the block was parsed at
  uint64_t lastSector = 0;     // the sector whose end cut the chain
  std::vector<uint8_t> bytes;  // the chain's entries up to the cut
};

class FatDeepOpenChains {
 public:
  void Clear() { chains_.clear(); }
  void Add(OpenChain chain);
  // Removes and hands out the first chain that `sector` continues.
  bool TakeContinued(const ChainLink& link, uint64_t sector, OpenChain& out);
  size_t Count() const { return chains_.size(); }

 private:
  std::deque<OpenChain> chains_;
};

// Directory sectors that no known volume explained yet, kept as copies.
class FatDeepUnplacedSectors {
 public:
  void Clear();
  // False when the sector was not kept because the store is full.
  bool Keep(uint64_t sector, const uint8_t* bytes, size_t length);
  // Removes and hands out the first kept sector, in sector order, whose
  // first entry carries `checksum` and that `accept` takes.
  template <typename Accept>
  bool TakeContinuation(uint8_t checksum, Accept accept, uint64_t& sector,
                        std::vector<uint8_t>& bytes);
  // Removes and hands out the lowest kept sector.
  bool TakeFirst(uint64_t& sector, std::vector<uint8_t>& bytes);
  size_t Count() const { return sectors_.size(); }

 private:
  struct Kept {
    ChainLink link;
    std::vector<uint8_t> bytes;
  };
  void Take(std::map<uint64_t, Kept>::iterator it, uint64_t& sector, std::vector<uint8_t>& bytes);
  std::map<uint64_t, Kept> sectors_;
  std::set<std::pair<uint8_t, uint64_t>> byChecksum_;
};

template <typename Accept>
bool FatDeepUnplacedSectors::TakeContinuation(uint8_t checksum, Accept accept, uint64_t& sector,
                                              std::vector<uint8_t>& bytes) {
  for (auto it = byChecksum_.lower_bound({checksum, 0});
       it != byChecksum_.end() && it->first == checksum; ++it) {
    auto kept = sectors_.find(it->second);
    if (kept == sectors_.end() || !accept(kept->first, kept->second.link)) continue;
    Take(kept, sector, bytes);
    return true;
  }
  return false;
}

}  // namespace salvora
