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

}  // namespace

int ExtVolume::Open(std::unique_ptr<ExtByteSource> bytes) {
  bytes_ = std::move(bytes);
  if (!FindSuperblock() || ReadExtGroups(*bytes_, sb_, groups_) != kOk) {
    bytes_.reset();
    return kInvalidParameter;
  }
  blocksHeld_ = std::min<uint64_t>(sb_.blocksCount, bytes_->Size() / sb_.blockSize);
  LoadJournal();
  return kOk;
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

void ExtVolume::BlockVersions(uint64_t block, std::vector<std::vector<uint8_t>>& out) {
  out.clear();
  if (block >= sb_.blocksCount) return;
  const std::vector<ExtJournalCopy>* copies = hasJournal_ ? journal_.CopiesOf(block) : nullptr;
  std::vector<uint8_t> data(sb_.blockSize);
  bool diskAdded = false;
  auto addDisk = [&] {
    diskAdded = true;
    if (bytes_->Read(block * sb_.blockSize, data.size(), data.data()) == kOk) out.push_back(data);
  };
  if (copies) {
    for (const ExtJournalCopy& copy : *copies) {
      if (!diskAdded && !journal_.NewerThanVolume(copy)) addDisk();
      if (journal_.ReadCopy(*bytes_, copy, data.data())) out.push_back(data);
    }
  }
  if (!diskAdded) addDisk();
}

bool ExtVolume::ReadCurrentBlock(uint64_t block, std::vector<uint8_t>& out) {
  out.assign(sb_.blockSize, 0);
  if (block >= sb_.blocksCount) return false;
  const std::vector<ExtJournalCopy>* copies = hasJournal_ ? journal_.CopiesOf(block) : nullptr;
  if (copies)
    for (const ExtJournalCopy& copy : *copies)
      if (journal_.NewerThanVolume(copy) && journal_.ReadCopy(*bytes_, copy, out.data()))
        return true;
  return bytes_->Read(block * sb_.blockSize, out.size(), out.data()) == kOk;
}

bool ExtVolume::CurrentInode(uint32_t number, ExtInode& out) {
  uint64_t block = 0;
  uint32_t offset = 0;
  std::vector<uint8_t> data;
  return InodePlace(number, block, offset) && ReadCurrentBlock(block, data) &&
         ParseExtInode(sb_, number, data.data() + offset, out);
}

void ExtVolume::InodeVersions(uint32_t number, std::vector<ExtInode>& out) {
  out.clear();
  uint64_t block = 0;
  uint32_t offset = 0;
  if (!InodePlace(number, block, offset)) return;
  if (block != cachedTableBlock_) {
    BlockVersions(block, cachedTableVersions_);
    cachedTableBlock_ = block;
  }
  for (const auto& version : cachedTableVersions_) {
    ExtInode inode;
    if (ParseExtInode(sb_, number, version.data() + offset, inode)) out.push_back(inode);
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
    used_[b / 8] |= static_cast<uint8_t>(1u << b);
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
