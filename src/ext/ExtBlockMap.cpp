#include "ext/ExtBlockMap.h"

#include <algorithm>
#include <unordered_set>

#include "ext/ExtChecksum.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr int kMaxExtentDepth = 5;
constexpr uint32_t kUnwrittenLength = 32768;
constexpr size_t kMaxRuns = 1u << 22;
constexpr uint32_t kDirectPointers = 12;

class MapBuilder {
 public:
  MapBuilder(const ExtSuperblock& sb, const ExtInode& inode, const ExtBlockVersions& versions,
             std::vector<ExtRun>& runs)
      : sb_(sb), inode_(inode), versions_(versions), runs_(runs),
        fileBlocks_((inode.size + sb.blockSize - 1) / sb.blockSize) {}

  bool Extents() {
    int depth = Le16(inode_.map + 6);
    if (!ExtExtentNodeValid(sb_, inode_, inode_.map, kExtInodeMapBytes, depth, false)) return false;
    return ExtentNode(inode_.map, depth);
  }

  bool Indirect() {
    for (uint32_t i = 0; i < kDirectPointers; ++i)
      if (!Add(i, Le32(inode_.map + 4 * i), 1, false)) return false;
    uint64_t perBlock = sb_.blockSize / 4;
    uint64_t logical = kDirectPointers, span = perBlock;
    for (int level = 1; level <= 3 && logical < fileBlocks_; ++level) {
      uint32_t pointer = Le32(inode_.map + 4 * (kDirectPointers + level - 1));
      if (pointer != 0 && !IndirectNode(pointer, level, logical)) return false;
      logical += span;
      span *= perBlock;
    }
    return true;
  }

 private:
  bool ExtentNode(const uint8_t* node, int depth) {
    uint16_t entries = Le16(node + 2);
    for (uint16_t i = 0; i < entries; ++i) {
      const uint8_t* entry = node + 12 + 12 * i;
      uint64_t logical = Le32(entry);
      if (depth == 0) {
        uint32_t length = Le16(entry + 4);
        bool unwritten = length > kUnwrittenLength;
        if (unwritten) length -= kUnwrittenLength;
        uint64_t physical = Le32(entry + 8) | static_cast<uint64_t>(Le16(entry + 6)) << 32;
        if (!Add(logical, physical, length, unwritten)) return false;
      } else {
        uint64_t child = Le32(entry + 4) | static_cast<uint64_t>(Le16(entry + 8)) << 32;
        std::vector<uint8_t> best;
        if (!BestVersion(child, [&](const std::vector<uint8_t>& b) {
              return ExtExtentNodeValid(sb_, inode_, b.data(), sb_.blockSize, depth - 1, true)
                         ? Coverage(b.data(), depth - 1)
                         : -1;
            }, best))
          return false;
        if (!ExtentNode(best.data(), depth - 1)) return false;
      }
    }
    return true;
  }

  // Blocks a leaf maps, or entries an index holds: deletion shrinks both.
  static int64_t Coverage(const uint8_t* node, int depth) {
    uint16_t entries = Le16(node + 2);
    if (depth > 0) return entries;
    int64_t blocks = 0;
    for (uint16_t i = 0; i < entries; ++i) {
      uint32_t length = Le16(node + 12 + 12 * i + 4);
      blocks += length > kUnwrittenLength ? length - kUnwrittenLength : length;
    }
    return blocks;
  }

  bool IndirectNode(uint64_t block, int level, uint64_t logical) {
    std::vector<uint8_t> best;
    auto score = [&](const std::vector<uint8_t>& b) -> int64_t {
      int64_t used = 0;
      for (uint32_t i = 0; i < sb_.blockSize / 4; ++i) {
        uint32_t pointer = Le32(b.data() + 4 * i);
        if (pointer >= sb_.blocksCount) return -1;
        used += pointer != 0;
      }
      return used;
    };
    if (!BestVersion(block, score, best)) return false;
    uint64_t perBlock = sb_.blockSize / 4, span = 1;
    for (int i = 1; i < level; ++i) span *= perBlock;
    for (uint64_t i = 0; i < perBlock && logical + i * span < fileBlocks_; ++i) {
      uint32_t pointer = Le32(best.data() + 4 * i);
      if (pointer == 0) continue;
      bool ok = level == 1 ? Add(logical + i, pointer, 1, false)
                           : IndirectNode(pointer, level - 1, logical + i * span);
      if (!ok) return false;
    }
    return true;
  }

  template <typename Score>
  bool BestVersion(uint64_t block, Score score, std::vector<uint8_t>& best) {
    if (block < sb_.firstDataBlock || block >= sb_.blocksCount || !visited_.insert(block).second)
      return false;
    std::vector<std::vector<uint8_t>> versions;
    versions_(block, versions);
    int64_t bestScore = -1;
    for (auto& version : versions) {
      if (version.size() != sb_.blockSize) continue;
      int64_t value = score(version);
      if (value > bestScore) {
        bestScore = value;
        best.swap(version);
      }
    }
    return bestScore >= 0;
  }

  bool Add(uint64_t logical, uint64_t physical, uint64_t length, bool unwritten) {
    if (physical == 0 && length == 1 && !unwritten) return true;  // a hole of a block map
    if (length == 0 || logical >= fileBlocks_) return true;
    length = std::min(length, fileBlocks_ - logical);
    if (physical < sb_.firstDataBlock || physical >= sb_.blocksCount ||
        length > sb_.blocksCount - physical || runs_.size() >= kMaxRuns)
      return false;
    if (!runs_.empty()) {
      ExtRun& last = runs_.back();
      if (last.logical + last.length == logical && last.physical + last.length == physical &&
          last.unwritten == unwritten) {
        last.length += length;
        return true;
      }
    }
    runs_.push_back({logical, physical, length, unwritten});
    return true;
  }

  const ExtSuperblock& sb_;
  const ExtInode& inode_;
  const ExtBlockVersions& versions_;
  std::vector<ExtRun>& runs_;
  uint64_t fileBlocks_;
  std::unordered_set<uint64_t> visited_;
};

}  // namespace

bool ExtExtentNodeValid(const ExtSuperblock& sb, const ExtInode& inode, const uint8_t* node,
                        uint32_t bytes, int depth, bool checkTail) {
  if (Le16(node) != kExtExtentMagic || Le16(node + 6) != depth || depth > kMaxExtentDepth)
    return false;
  uint32_t entries = Le16(node + 2), max = Le16(node + 4);
  if (entries > max || 12 + 12ull * max > bytes) return false;
  if (!checkTail || !sb.MetadataChecksums()) return true;
  uint32_t tail = 12 + 12 * max;
  if (tail + 4 > bytes) return false;
  return Crc32c(ExtInodeSeed(sb, inode.number, inode.generation), node, tail) == Le32(node + tail);
}

bool BuildExtBlockMap(const ExtSuperblock& sb, const ExtInode& inode,
                      const ExtBlockVersions& versions, std::vector<ExtRun>& runs) {
  runs.clear();
  if (inode.HasInlineData()) return true;
  MapBuilder builder(sb, inode, versions, runs);
  bool ok = inode.UsesExtents() ? builder.Extents() : builder.Indirect();
  std::sort(runs.begin(), runs.end(),
            [](const ExtRun& a, const ExtRun& b) { return a.logical < b.logical; });
  return ok;
}

}  // namespace salvora
