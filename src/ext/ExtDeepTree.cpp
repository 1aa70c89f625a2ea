#include "ext/ExtDeepTree.h"

#include <unordered_set>

namespace salvora {
namespace {

// Folders deeper than this are a loop in damaged metadata, not a tree.
constexpr uint32_t kMaxDepth = 4096;
// A folder's blocks read at most; more is damage, not a folder.
constexpr uint64_t kMaxFolderBlocks = 1u << 16;

bool IsTop(uint32_t folder) { return folder == 0 || folder == kExtRootInode; }

}  // namespace

void ExtDeepTree::AddDirectoryBlock(uint64_t block, ExtFoundDirectory found) {
  met_.push_back({block, std::move(found)});
}

void ExtDeepTree::Clear() {
  met_.clear();
  inodes_.Clear();
  placeOf_.clear();
  ownerBySeed_.clear();
  names_.clear();
  folders_.clear();
  firstBlock_.clear();
  aboveFiles_.clear();
  lostFilesUsed_ = false;
}

void ExtDeepTree::Write(ExtVolume& volume, bool ownInodes, const ExtVolumePlace& place,
                        ScanResultStore& store) {
  inodes_.Sweep(volume, ownInodes);
  const std::vector<ExtOldInodePlace>& places = inodes_.Places();
  for (size_t i = 0; i < places.size(); ++i) placeOf_[places[i].number] = i;
  ReadOldFolders(volume);
  TieBlocks(volume.Superblock().blockSize);
  met_.clear();
  for (const ExtOldInodePlace& inode : places) WriteFile(volume, inode, place, store);
  WriteFolders(place, volume.Superblock(), store);
}

// The blocks an old folder's own inode maps, where they still hold that
// folder's entries: with checksums, a block written since fails its tail.
void ExtDeepTree::ReadOldFolders(ExtVolume& volume) {
  const ExtSuperblock& present = volume.Superblock();
  std::vector<std::vector<uint8_t>> data;
  for (const ExtOldInodePlace& place : inodes_.Places()) {
    ExtInode inode;
    if (!inodes_.Read(volume, place, inode) || inode.Type() != ExtFileType::kDirectory) continue;
    const ExtSuperblock sb = inodes_.SuperblockOf(present, place);
    uint32_t seed = ExtInodeSeed(sb, place.number, inode.generation);
    ownerBySeed_.emplace(seed, place.number);
    Folder& folder = folders_[place.number];
    folder.byte = place.block * sb.blockSize + place.offset;
    std::vector<ExtRun> runs;
    auto disk = [&volume](uint64_t b, std::vector<std::vector<uint8_t>>& out) {
      volume.DiskBlock(b, out);
    };
    if (inode.HasInlineData() || !BuildExtBlockMap(sb, inode, disk, runs)) continue;
    uint64_t blocksRead = 0;
    for (const ExtRun& run : runs) {
      for (uint64_t i = 0; i < run.length && blocksRead < kMaxFolderBlocks; ++i, ++blocksRead) {
        if (run.unwritten) break;
        // The newest copy that is still this folder's: the disk's, or the
        // journal's when the disk's was lost.
        volume.BlockVersions(run.physical + i, data);
        for (const std::vector<uint8_t>& version : data) {
          ExtFoundDirectory found;
          if (!RecogniseExtDirectoryBlock(version.data(), sb.blockSize, sb.inodesCount, found) ||
              (found.ownerSeed ? *found.ownerSeed != seed : sb.MetadataChecksums()))
            continue;
          TakeBlock(found, place.number, (run.physical + i) * sb.blockSize);
          break;
        }
      }
    }
  }
}

void ExtDeepTree::TieBlocks(uint32_t blockSize) {
  for (const Met& met : met_)
    if (met.found.self != 0 && met.found.ownerSeed)
      ownerBySeed_.emplace(*met.found.ownerSeed, met.found.self);
  for (const Met& met : met_) {
    uint32_t owner = met.found.self;
    if (owner == 0 && met.found.ownerSeed) {
      auto known = ownerBySeed_.find(*met.found.ownerSeed);
      if (known != ownerBySeed_.end()) owner = known->second;
    }
    TakeBlock(met.found, owner, met.block * blockSize);
  }
}

void ExtDeepTree::TakeBlock(const ExtFoundDirectory& found, uint32_t owner, uint64_t blockByte) {
  if (owner != 0) {
    Folder& folder = folders_[owner];
    // A lost folder is recorded at its first block, which names its parent.
    if (found.self == owner) {
      if (folder.dotDot == 0) folder.dotDot = found.parent;
      folder.byte = blockByte;
    }
    if (folder.byte == 0) folder.byte = blockByte;
  }
  for (const ExtDirEntry& entry : found.entries) {
    Name& name = names_[entry.inode];
    // A name whose folder is known beats one met in a block of no known folder.
    if (!name.text.empty() && (name.parent != 0 || owner == 0)) continue;
    name = {entry.name, owner, blockByte + entry.offset};
    if (entry.fileType == kExtDirTypeDirectory && entry.inode != owner) folders_[entry.inode];
  }
}

uint32_t ExtDeepTree::ParentOf(uint32_t folder) const {
  auto name = names_.find(folder);
  if (name != names_.end() && name->second.parent != 0) return name->second.parent;
  auto known = folders_.find(folder);
  return known == folders_.end() ? 0 : known->second.dotDot;
}

// Levels below the top (1: a folder at the top). A folder whose parents
// loop, or go deeper than any tree, is taken to the top.
uint32_t ExtDeepTree::DepthOf(uint32_t folder) {
  if (IsTop(folder)) return 0;
  std::vector<uint32_t> chain;
  std::unordered_set<uint32_t> seen;
  uint32_t at = folder;
  while (!IsTop(at) && folders_[at].depth == 0) {
    if (!seen.insert(at).second || chain.size() >= kMaxDepth) {
      // The last folder on the way up loses its parent: the loop is cut there.
      folders_[chain.back()].dotDot = 0;
      names_[chain.back()].parent = 0;
      at = 0;
      break;
    }
    chain.push_back(at);
    at = ParentOf(at);
  }
  uint32_t base = IsTop(at) ? 0 : folders_[at].depth;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) folders_[*it].depth = ++base;
  return folders_[folder].depth;
}

bool ExtDeepTree::MapOf(ExtVolume& volume, const ExtOldInodePlace& place, ExtResolved& out) const {
  out = {};
  if (!inodes_.Read(volume, place, out.inode)) return false;
  const ExtSuperblock sb = inodes_.SuperblockOf(volume.Superblock(), place);
  auto disk = [&volume](uint64_t b, std::vector<std::vector<uint8_t>>& versions) {
    volume.DiskBlock(b, versions);
  };
  if (!out.inode.HasInlineData() && !out.inode.IsFastSymlink() &&
      !BuildExtBlockMap(sb, out.inode, disk, out.runs))
    return false;
  out.state = ExtResolution::kRecovered;
  out.ownedNow = place.own;
  return true;
}

bool ExtDeepTree::Resolve(ExtVolume& volume, uint32_t number, ExtResolved& out) const {
  auto index = placeOf_.find(number);
  return index != placeOf_.end() && MapOf(volume, inodes_.Places()[index->second], out);
}

bool ExtDeepTree::FirstDataBlock(uint32_t number, uint64_t& block) const {
  auto found = firstBlock_.find(number);
  if (found == firstBlock_.end()) return false;
  block = found->second;
  return true;
}

void ExtDeepTree::WriteFile(ExtVolume& volume, const ExtOldInodePlace& inodePlace,
                            const ExtVolumePlace& where, ScanResultStore& store) {
  ExtResolved resolved;
  if (!MapOf(volume, inodePlace, resolved)) return;
  const ExtInode& inode = resolved.inode;
  ExtFileType type = inode.Type();
  if (type != ExtFileType::kFile && type != ExtFileType::kSymlink) return;
  if (!resolved.runs.empty() && resolved.runs.front().logical == 0 &&
      !resolved.runs.front().unwritten)
    firstBlock_[inode.number] = resolved.runs.front().physical;
  const ExtSuperblock& sb = volume.Superblock();
  auto name = names_.find(inode.number);
  bool named = name != names_.end();
  uint32_t parent = named ? name->second.parent : 0;
  if (!IsTop(parent) && !folders_.count(parent)) parent = 0;
  std::string text = named ? name->second.text : "File" + std::to_string(inode.number);
  uint64_t byte =
      named ? name->second.entryByte : inodePlace.block * sb.blockSize + inodePlace.offset;
  FoundRecord record = MakeExtRecord(where, sb, inode, text);
  record.engineKind = kDeepExt;
  record.isDeleted = 1;
  record.entrySector = where.firstSector + byte / where.sectorSize;
  FoundRecord* slot = store.AppendRecord();
  if (!slot) return;
  record.recordNo = store.GetRecordCount();
  *slot = record;
  uint32_t key = parent == 0 ? kExtLostFilesKey : parent;
  uint32_t keyDepth = parent == 0 ? 1 : DepthOf(parent);
  if (parent == kExtRootInode) key = kExtRootInode;
  store.AddRelation(key, keyDepth, record.recordNo, inode.number, nullptr);
  lostFilesUsed_ |= parent == 0;
  for (uint32_t up = parent; !IsTop(up) && !folders_[up].written; up = ParentOf(up)) {
    folders_[up].written = true;
    aboveFiles_.push_back(up);
    if (folders_[up].depth == 1) break;
  }
}

void ExtDeepTree::WriteFolders(const ExtVolumePlace& where, const ExtSuperblock& sb,
                               ScanResultStore& store) {
  FoundRecord base{};
  base.sourceTag = where.sourceTag;
  base.engineKind = kDeepExt;
  base.isFolder = 1;
  base.isDeleted = 1;
  base.contentOk = 1;
  base.clusterBytes = sb.blockSize;
  base.volumeFirstSector = where.firstSector;
  auto append = [&](uint32_t number, uint32_t parent, uint32_t parentDepth, const std::string& text,
                    uint64_t byte) {
    FoundRecord* slot = store.AppendRecord();
    if (!slot) return;
    *slot = base;
    slot->recordNo = store.GetRecordCount();
    slot->firstCluster = number;
    slot->entrySector = where.firstSector + byte / where.sectorSize;
    SetRecordName(slot->name, text.data(), text.size());
    store.AddRelation(parent, parentDepth, slot->recordNo, number, slot->name);
  };
  if (lostFilesUsed_) append(kExtLostFilesKey, kExtRootInode, 0, "LostFiles", 0);
  for (uint32_t number : aboveFiles_) {
    uint32_t depth = DepthOf(number);
    uint32_t parent = depth <= 1 ? kExtRootInode : ParentOf(number);
    auto name = names_.find(number);
    bool named = name != names_.end() && !name->second.text.empty();
    std::string text = named ? name->second.text : "LostFolder" + std::to_string(number);
    append(number, parent, depth - 1, text, named ? name->second.entryByte : folders_[number].byte);
  }
  aboveFiles_.clear();
}

}  // namespace salvora
