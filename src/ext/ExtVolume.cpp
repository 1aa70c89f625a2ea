#include "ext/ExtVolume.h"

#include <algorithm>
#include <cstring>

#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

// Backups are looked for where mke2fs puts them with its default group
// size, in the first groups that hold one on every layout.
constexpr uint32_t kBackupGroups[] = {1, 3, 5, 7, 9};
// How much of an inode table one read takes along.
constexpr uint64_t kTableRunBytes = 256 * 1024;
// How much of the inode tables is kept (in their newest versions alone; the
// journal's copies come on top): far more than a folder's files take, so a
// walk that goes folder by folder reads each table block once.
constexpr uint64_t kKeptTableBytes = 8u << 20;

}  // namespace

int ExtVolume::Open(std::unique_ptr<ExtByteSource> bytes) {
  bytes_ = std::move(bytes);
  if (!FindSuperblock() || ReadExtGroups(*bytes_, sb_, groups_) != kOk) {
    bytes_.reset();
    return kInvalidParameter;
  }
  blocksHeld_ = std::min<uint64_t>(sb_.blocksCount, bytes_->Size() / sb_.blockSize);
  NoteInodeTables();
  LoadJournal();
  return kOk;
}

void ExtVolume::NoteInodeTables() {
  uint64_t tableBlocks =
      (static_cast<uint64_t>(sb_.inodesPerGroup) * sb_.inodeSize + sb_.blockSize - 1) /
      sb_.blockSize;
  for (const ExtGroup& group : groups_) {
    if (!group.usable || group.inodeTable >= blocksHeld_) continue;
    inodeTables_.emplace_back(group.inodeTable,
                              std::min(group.inodeTable + tableBlocks, blocksHeld_));
  }
  std::sort(inodeTables_.begin(), inodeTables_.end());
}

bool ExtVolume::FindSuperblock() {
  std::vector<uint8_t> raw(kExtSuperblockBytes);
  uint64_t size = bytes_->Size();
  if (bytes_->Read(kExtSuperblockOffset, raw.size(), raw.data()) == kOk &&
      ParseExtSuperblock(raw.data(), size, sb_))
    return true;
  for (uint32_t blockSize = 1024; blockSize <= 65536; blockSize *= 2) {
    uint64_t perGroup = 8ull * blockSize, firstData = blockSize == 1024 ? 1 : 0;
    for (uint32_t group : kBackupGroups) {
      uint64_t offset = (group * perGroup + firstData) * blockSize;
      if (offset >= size || bytes_->Read(offset, raw.size(), raw.data()) != kOk) continue;
      ExtSuperblock candidate;
      if (ParseExtSuperblock(raw.data(), size, candidate) && candidate.blockSize == blockSize &&
          candidate.blocksPerGroup == perGroup && candidate.groupNumber == group) {
        sb_ = candidate;
        return true;
      }
    }
  }
  return false;
}

void ExtVolume::LoadJournal() {
  if (!sb_.HasJournal() || sb_.journalInode >= sb_.inodesCount) return;
  ExtInode inode;
  std::vector<ExtRun> runs;
  std::vector<uint8_t> raw;
  uint64_t block = 0;
  uint32_t offset = 0;
  raw.resize(sb_.blockSize);
  bool inodeRead = InodePlace(sb_.journalInode, block, offset) && block < sb_.blocksCount &&
                   bytes_->Read(block * sb_.blockSize, raw.size(), raw.data()) == kOk &&
                   ParseExtInode(sb_, sb_.journalInode, raw.data() + offset, inode) &&
                   inode.HasDataMap();
  if (!inodeRead && !JournalInodeFromBackup(inode)) return;
  auto diskOnly = [this](uint64_t b, std::vector<std::vector<uint8_t>>& out) { DiskBlock(b, out); };
  if (!BuildExtBlockMap(sb_, inode, diskOnly, runs)) return;
  hasJournal_ = journal_.Load(*bytes_, sb_, runs);
}

// A volume whose first inode table is lost still has its journal: the
// superblock keeps a copy of the journal inode's map.
bool ExtVolume::JournalInodeFromBackup(ExtInode& inode) const {
  if (!sb_.journalBackup || sb_.journalBytes == 0) return false;
  inode = {};
  inode.number = sb_.journalInode;
  inode.mode = 0x8000;
  inode.links = 1;
  inode.size = sb_.journalBytes;
  std::memcpy(inode.map, sb_.journalMap, kExtInodeMapBytes);
  if (Le16(inode.map) == kExtExtentMagic) inode.flags = kExtExtentsFlag;
  return true;
}

void ExtVolume::DiskBlock(uint64_t block, std::vector<std::vector<uint8_t>>& out) {
  out.assign(1, std::vector<uint8_t>(sb_.blockSize));
  if (block >= sb_.blocksCount ||
      bytes_->Read(block * sb_.blockSize, sb_.blockSize, out[0].data()) != kOk)
    out.clear();
}

bool ExtVolume::InodePlace(uint32_t number, uint64_t& block, uint32_t& offset) const {
  if (number == 0 || number > sb_.inodesCount) return false;
  uint32_t group = (number - 1) / sb_.inodesPerGroup;
  uint64_t index = (number - 1) % sb_.inodesPerGroup;
  if (group >= groups_.size() || !groups_[group].usable) return false;
  uint64_t byte = index * sb_.inodeSize;
  block = groups_[group].inodeTable + byte / sb_.blockSize;
  offset = static_cast<uint32_t>(byte % sb_.blockSize);
  return true;
}

uint64_t ExtVolume::InodeTableEnd(uint64_t block) const {
  auto table =
      std::upper_bound(inodeTables_.begin(), inodeTables_.end(), std::make_pair(block, UINT64_MAX));
  if (table == inodeTables_.begin() || block >= (--table)->second) return 0;
  return table->second;
}

size_t ExtVolume::ReserveSlots(size_t count) {
  if (slots_.empty()) {
    size_t slotCount = static_cast<size_t>(std::max<uint64_t>(
        kKeptTableBytes / sb_.blockSize, 2 * kTableRunBytes / sb_.blockSize + 2));
    slots_.resize(slotCount);
    slotBlocks_.assign(slotCount, UINT64_MAX);
    slotBytes_ = AllocateReadBuffer(slotCount * sb_.blockSize);
  }
  // A run's blocks lie side by side, so that one read fills them all.
  if (nextSlot_ + count > slots_.size()) nextSlot_ = 0;
  size_t first = nextSlot_;
  for (size_t slot = first; slot < first + count; ++slot) {
    if (slotBlocks_[slot] != UINT64_MAX) slotOf_.erase(slotBlocks_[slot]);
    slotBlocks_[slot] = UINT64_MAX;
  }
  nextSlot_ = (first + count) % slots_.size();
  return first;
}

ExtBlockHistory& ExtVolume::AssignSlot(size_t slot, uint64_t block) {
  slotBlocks_[slot] = block;
  slotOf_[block] = slot;
  return slots_[slot];
}

void ExtVolume::KeepTableBlocks(uint64_t block, uint64_t tableEnd) {
  uint64_t end = std::min(tableEnd, block + std::max<uint64_t>(1, kTableRunBytes / sb_.blockSize));
  uint64_t last = block + 1;
  while (last < end && !slotOf_.count(last)) ++last;
  size_t blockSize = sb_.blockSize;
  size_t count = static_cast<size_t>(last - block);
  size_t first = ReserveSlots(count);
  uint8_t* into = slotBytes_.get() + first * blockSize;
  if (count > 1 && bytes_->Read(block * blockSize, count * blockSize, into) == kOk) {
    for (size_t i = 0; i < count; ++i)
      FillHistory(block + i, into + i * blockSize, true, AssignSlot(first + i, block + i));
    return;
  }
  // Alone, so that a bad sector elsewhere in the run costs this block nothing.
  bool read = bytes_->Read(block * blockSize, blockSize, into) == kOk;
  FillHistory(block, into, read, AssignSlot(first, block));
}

// The journal's copies come newest first, with the volume's own block
// placed before the first copy the volume has caught up with. The volume
// holds now the newest copy it has not caught up with, else its own block.
void ExtVolume::FillHistory(uint64_t block, const uint8_t* disk, bool diskRead,
                            ExtBlockHistory& out) {
  const size_t blockSize = sb_.blockSize;
  const std::vector<ExtJournalCopy>* copies = hasJournal_ ? journal_.CopiesOf(block) : nullptr;
  out.versions.clear();
  out.current = -1;
  // Room up front for every version the journal does not hold in memory:
  // the versions point into it.
  size_t room = 0;
  if (copies)
    for (const ExtJournalCopy& copy : *copies) room += copy.held ? 0 : blockSize;
  if (room > 0 && out.room < room) {
    out.bytes.reset(new uint8_t[room]);
    out.room = room;
  }
  uint8_t* free = out.bytes.get();
  bool diskPlaced = false;
  auto placeDisk = [&] {
    diskPlaced = true;
    if (!diskRead) return;
    if (out.current < 0) out.current = static_cast<int>(out.versions.size());
    out.versions.push_back(disk);
  };
  if (copies) {
    for (const ExtJournalCopy& copy : *copies) {
      bool newer = journal_.NewerThanVolume(copy);
      if (!diskPlaced && !newer) placeDisk();
      const uint8_t* data = journal_.CopyData(*bytes_, copy, free);
      if (!data) continue;
      if (newer && out.current < 0) out.current = static_cast<int>(out.versions.size());
      out.versions.push_back(data);
      if (data == free) free += blockSize;
    }
  }
  if (!diskPlaced) placeDisk();
}

const ExtBlockHistory& ExtVolume::History(uint64_t block) {
  auto kept = slotOf_.find(block);
  if (kept != slotOf_.end()) return slots_[kept->second];
  if (block >= sb_.blocksCount) {
    scratch_.versions.clear();
    scratch_.current = -1;
    return scratch_;
  }
  uint64_t tableEnd = InodeTableEnd(block);
  if (tableEnd != 0) {
    KeepTableBlocks(block, tableEnd);
    return slots_[slotOf_[block]];
  }
  readBuffer_.resize(sb_.blockSize);
  bool read = bytes_->Read(block * sb_.blockSize, sb_.blockSize, readBuffer_.data()) == kOk;
  FillHistory(block, readBuffer_.data(), read, scratch_);
  return scratch_;
}

void ExtVolume::ForgetBlocks() {
  slots_.clear();
  slotBlocks_.clear();
  slotBytes_.reset();
  scratch_.versions.clear();
  scratch_.current = -1;
  journal_.ReleaseHeldLog();
  slotOf_.clear();
  nextSlot_ = 0;
}

void ExtVolume::BlockVersions(uint64_t block, std::vector<std::vector<uint8_t>>& out) {
  const ExtBlockHistory& history = History(block);
  out.resize(history.versions.size());
  for (size_t i = 0; i < out.size(); ++i)
    out[i].assign(history.versions[i], history.versions[i] + sb_.blockSize);
}

bool ExtVolume::ReadCurrentBlock(uint64_t block, std::vector<uint8_t>& out) {
  out.assign(sb_.blockSize, 0);
  const ExtBlockHistory& history = History(block);
  if (history.current < 0) return false;
  const uint8_t* version = history.versions[static_cast<size_t>(history.current)];
  out.assign(version, version + sb_.blockSize);
  return true;
}

bool ExtVolume::CurrentInode(uint32_t number, ExtInode& out) {
  uint64_t block = 0;
  uint32_t offset = 0;
  if (!InodePlace(number, block, offset)) return false;
  const ExtBlockHistory& history = History(block);
  if (history.current < 0) return false;
  const uint8_t* table = history.versions[static_cast<size_t>(history.current)];
  return ParseExtInode(sb_, number, table + offset, out);
}

void ExtVolume::InodeVersions(uint32_t number, std::vector<ExtInode>& out) {
  out.clear();
  uint64_t block = 0;
  uint32_t offset = 0;
  if (!InodePlace(number, block, offset)) return;
  const ExtBlockHistory& history = History(block);
  // An inode is large: growing the answer one version at a time would copy
  // it again and again, for every inode the scan looks at.
  out.reserve(history.versions.size());
  ExtInode inode;
  const uint8_t* previous = nullptr;
  for (const uint8_t* version : history.versions) {
    const uint8_t* raw = version + offset;
    // The journal logs a table block whenever any of its inodes changes:
    // most versions hold this one as the version before did.
    if (previous && std::memcmp(previous, raw, sb_.inodeSize) == 0) continue;
    if (!ParseExtInode(sb_, number, raw, inode)) continue;
    out.push_back(inode);
    previous = raw;
  }
}

bool ExtVolume::MapOf(const ExtInode& inode, std::vector<ExtRun>& runs) {
  return BuildExtBlockMap(
      sb_, inode,
      [this](uint64_t block, std::vector<std::vector<uint8_t>>& out) { BlockVersions(block, out); },
      runs);
}

void ExtVolume::LoadBitmaps() {
  bitmapsLoaded_ = true;
  used_.assign(static_cast<size_t>((blocksHeld_ + 7) / 8), 0xFF);
  std::vector<uint8_t> bitmap;
  for (uint32_t group = 0; group < groups_.size(); ++group) {
    uint64_t first = sb_.GroupFirstBlock(group);
    if (first >= blocksHeld_) break;
    uint64_t blocks = std::min<uint64_t>(sb_.blocksPerGroup, blocksHeld_ - first);
    const ExtGroup& g = groups_[group];
    bool unused = g.usable && g.BlockBitmapUnused();
    if (!unused && (!g.usable || !ReadCurrentBlock(g.blockBitmap, bitmap))) continue;
    for (uint64_t i = 0; i < blocks; ++i) {
      bool set = !unused && (bitmap[i / 8] >> (i % 8)) & 1;
      uint64_t b = first + i;
      if (!set) used_[b / 8] &= static_cast<uint8_t>(~(1u << (b % 8)));
    }
  }
  for (uint64_t b = 0; b < sb_.firstDataBlock && b < blocksHeld_; ++b)
    used_[b / 8] |= static_cast<uint8_t>(1u << (b % 8));
}

bool ExtVolume::BlockInUse(uint64_t block) {
  if (!bitmapsLoaded_) LoadBitmaps();
  if (block >= blocksHeld_) return true;
  return (used_[block / 8] >> (block % 8)) & 1;
}

bool ExtVolume::NextFreeBlocks(uint64_t& block, uint64_t& count) {
  if (!bitmapsLoaded_) LoadBitmaps();
  while (block < blocksHeld_ && BlockInUse(block)) {
    if (block % 8 == 0 && used_[block / 8] == 0xFF)
      block += 8;
    else
      ++block;
  }
  if (block >= blocksHeld_) return false;
  uint64_t end = block;
  while (end < blocksHeld_ && !BlockInUse(end)) {
    if (end % 8 == 0 && used_[end / 8] == 0 && end + 8 <= blocksHeld_)
      end += 8;
    else
      ++end;
  }
  count = end - block;
  return true;
}

}  // namespace salvora
