#include "ext/ExtOldInodes.h"

#include <algorithm>

#include "ext/ExtSeedSolver.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

// Two inodes agreeing on a seed by chance is a 1 in 2^32 event; one alone
// could be any block of data.
constexpr uint32_t kVotesForSeed = 2;
// Inode tables are read a group at a time, bounded for huge groups.
constexpr uint64_t kMaxTableBytes = 64ull << 20;

}  // namespace

bool ExtInodeLooksInUse(const uint8_t* raw) {
  uint16_t type = Le16(raw) & 0xF000;
  bool known = type == 0x8000 || type == 0x4000 || type == 0xA000;
  return known && Le16(raw + 0x1A) != 0 && Le32(raw + 0x14) == 0;
}

bool HoldsInodeInUse(const ExtSuperblock& sb, const uint8_t* block) {
  for (uint32_t at = 0; at + sb.inodeSize <= sb.blockSize; at += sb.inodeSize)
    if (ExtInodeLooksInUse(block + at)) return true;
  return false;
}

void ExtOldInodes::Clear() {
  candidates_.clear();
  votes_.clear();
  accepted_.clear();
}

void ExtOldInodes::Sweep(ExtVolume& volume, bool ownInodes) {
  Clear();
  const ExtSuperblock& sb = volume.Superblock();
  if (sb.inodeSize < 128 || sb.blockSize % sb.inodeSize != 0) return;
  const std::vector<ExtGroup>& groups = volume.Groups();
  for (uint32_t group = 0; group < groups.size(); ++group)
    if (groups[group].usable) SweepGroup(volume, group, groups[group], ownInodes);
  for (const ExtOldInodePlace& place : candidates_)
    if (place.own || !sb.MetadataChecksums() || votes_[place.seed] >= kVotesForSeed)
      accepted_.push_back(place);
  candidates_.clear();
  votes_.clear();
}

// Without checksums only the present inode bitmap tells the volume's own
// inodes from those an earlier volume left: what it calls free but still
// describes a file in use is old.
void ExtOldInodes::ReadInodeBitmap(ExtVolume& volume, const ExtGroup& group) {
  const ExtSuperblock& sb = volume.Superblock();
  bitmap_.clear();
  if (sb.MetadataChecksums() || group.InodesUnused()) return;
  if (!volume.ReadCurrentBlock(group.inodeBitmap, bitmap_)) bitmap_.assign(sb.blockSize, 0xFF);
}

bool ExtOldInodes::Allocated(uint32_t index) const {
  return index / 8 < bitmap_.size() && (bitmap_[index / 8] >> (index % 8) & 1);
}

void ExtOldInodes::SweepGroup(ExtVolume& volume, uint32_t group, const ExtGroup& descriptor,
                              bool ownInodes) {
  const ExtSuperblock& sb = volume.Superblock();
  const uint64_t tableBlock = descriptor.inodeTable;
  ReadInodeBitmap(volume, descriptor);
  uint64_t tableBytes =
      std::min<uint64_t>(uint64_t{sb.inodesPerGroup} * sb.inodeSize, kMaxTableBytes);
  uint64_t start = tableBlock * sb.blockSize;
  if (start >= volume.Bytes().Size()) return;
  tableBytes = std::min(tableBytes, volume.Bytes().Size() - start);
  std::vector<uint8_t> table(static_cast<size_t>(tableBytes));
  // What cannot be read stays zero and is passed over.
  volume.Bytes().Read(start, table.size(), table.data());
  TakeJournalCopies(volume, tableBlock, table);
  for (uint64_t at = 0; at + sb.inodeSize <= table.size(); at += sb.inodeSize) {
    const uint8_t* raw = table.data() + at;
    if (!ExtInodeLooksInUse(raw)) continue;
    ExtOldInodePlace place;
    place.number = group * sb.inodesPerGroup + static_cast<uint32_t>(at / sb.inodeSize) + 1;
    place.block = tableBlock + at / sb.blockSize;
    place.offset = static_cast<uint32_t>(at % sb.blockSize);
    if (sb.MetadataChecksums()) {
      Consider(sb, place, raw, ownInodes);
      continue;
    }
    place.own = Allocated(static_cast<uint32_t>(at / sb.inodeSize));
    place.seed = sb.checksumSeed;
    bool reserved = place.number < sb.firstInode && place.number != kExtRootInode;
    if (!reserved && (ownInodes || !place.own)) candidates_.push_back(place);
  }
}

// A table block lost on the disk (zeroed, overwritten) may live on in the
// journal, which logged it when its inodes were last written.
void ExtOldInodes::TakeJournalCopies(ExtVolume& volume, uint64_t tableBlock,
                                     std::vector<uint8_t>& table) {
  const ExtJournal* journal = volume.Journal();
  const uint32_t blockSize = volume.Superblock().blockSize;
  if (!journal) return;
  std::vector<std::vector<uint8_t>> versions;
  for (uint64_t at = 0; at + blockSize <= table.size(); at += blockSize) {
    uint64_t block = tableBlock + at / blockSize;
    if (!journal->CopiesOf(block) || HoldsInodeInUse(volume.Superblock(), table.data() + at))
      continue;
    volume.BlockVersions(block, versions);
    for (const std::vector<uint8_t>& version : versions)
      if (HoldsInodeInUse(volume.Superblock(), version.data())) {
        std::copy(version.begin(), version.end(), table.begin() + static_cast<ptrdiff_t>(at));
        break;
      }
  }
}

void ExtOldInodes::Consider(const ExtSuperblock& sb, const ExtOldInodePlace& place,
                            const uint8_t* raw, bool ownInodes) {
  bool reserved = place.number < sb.firstInode && place.number != kExtRootInode;
  if (reserved || place.number > sb.inodesCount) return;
  ExtInode inode;
  if (ParseExtInode(sb, place.number, raw, inode)) {
    if (!ownInodes) return;
    ExtOldInodePlace own = place;
    own.seed = sb.checksumSeed;
    own.own = true;
    candidates_.push_back(own);
    return;
  }
  std::optional<uint32_t> seed = ExtVolumeSeedOfInode(sb, place.number, raw);
  if (!seed || *seed == sb.checksumSeed) return;
  ExtOldInodePlace old = place;
  old.seed = *seed;
  candidates_.push_back(old);
  ++votes_[*seed];
}

ExtSuperblock ExtOldInodes::SuperblockOf(const ExtSuperblock& present,
                                         const ExtOldInodePlace& place) const {
  ExtSuperblock sb = present;
  sb.checksumSeed = place.seed;
  return sb;
}

bool ExtOldInodes::Read(ExtVolume& volume, const ExtOldInodePlace& place, ExtInode& out) const {
  const ExtSuperblock sb = SuperblockOf(volume.Superblock(), place);
  std::vector<std::vector<uint8_t>> versions;
  volume.BlockVersions(place.block, versions);
  // Without checksums any bytes parse: only a copy still in use is the one
  // the sweep found.
  for (const std::vector<uint8_t>& version : versions) {
    const uint8_t* raw = version.data() + place.offset;
    if (ExtInodeLooksInUse(raw) && ParseExtInode(sb, place.number, raw, out)) return true;
  }
  return false;
}

}  // namespace salvora
