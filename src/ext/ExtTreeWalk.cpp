#include "ext/ExtTreeWalk.h"

#include <algorithm>
#include <cstring>

#include "ext/ExtChecksum.h"
#include "ext/ExtNameText.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint32_t kInlineParentBytes = 4;
constexpr uint32_t kDirectoryTailBytes = 12;
constexpr uint8_t kDirectoryTailType = 0xDE;
// Folders deeper than this are a loop in damaged metadata, not a tree.
constexpr uint32_t kMaxDepth = 4096;

bool IsDotName(const std::string& name) { return name == "." || name == ".."; }

}  // namespace

FoundRecord MakeExtRecord(const ExtVolumePlace& place, const ExtSuperblock& sb,
                          const ExtInode& inode, const std::string& name) {
  FoundRecord record{};
  record.sourceTag = place.sourceTag;
  record.engineKind = kQuickExt;
  record.contentOk = 1;
  record.firstCluster = inode.number;
  record.clusterBytes = sb.blockSize;
  record.createTime = inode.createTime;
  record.accessTime = inode.accessTime;
  record.writeTime = inode.writeTime;
  record.fileSize = inode.size;
  record.volumeFirstSector = place.firstSector;
  std::string text = ExtNameToUtf8(reinterpret_cast<const uint8_t*>(name.data()), name.size());
  SetRecordName(record.name, text.data(), text.size());
  return record;
}

int ExtTreeWalk::Run(const std::function<int()>& betweenFolders) {
  Folder root;
  if (!volume_.CurrentInode(kExtRootInode, root.inode) ||
      root.inode.Type() != ExtFileType::kDirectory)
    return kOk;
  folders_[kExtRootInode] = root;
  pending_.push_back(kExtRootInode);
  int answer = kOk;
  while (!pending_.empty() && answer == kOk) {
    uint32_t number = pending_.front();
    pending_.pop_front();
    WalkFolder(number);
    answer = betweenFolders ? betweenFolders() : 0;
  }
  volume_.ForgetBlocks();
  return answer;
}

void ExtTreeWalk::WalkFolder(uint32_t number) {
  const Folder folder = folders_[number];
  std::vector<Found>& found = found_;
  std::vector<EntryKey>& live = live_;
  found.clear();
  live.clear();
  GatherEntries(folder, found, live);
  std::sort(live.begin(), live.end());
  std::vector<bool> isLive(found.size());
  for (size_t i = 0; i < found.size(); ++i)
    isLive[i] = std::binary_search(live.begin(), live.end(), KeyOf(found[i].entry),
                                   [](const EntryView& a, const EntryView& b) { return a < b; });
  // A file renamed before it was deleted shows its earlier names in older
  // versions of the folder: it is listed once, by its last name.
  std::unordered_map<uint32_t, const Found*> lastName;
  for (size_t i = 0; i < found.size(); ++i) {
    const ExtDirEntry& entry = found[i].entry;
    if (IsDotName(entry.name) || isLive[i]) continue;
    const Found*& best = lastName[entry.inode];
    if (!best || found[i].age < best->age ||
        (found[i].age == best->age && entry.live && !best->entry.live))
      best = &found[i];
  }
  // Each folder is walked once and each of its (name, inode) pairs is
  // handled once here: a file is recorded once without a further check.
  std::vector<bool> firstSeen = FirstOfEachEntry(found);
  for (size_t i = 0; i < found.size(); ++i) {
    const Found& item = found[i];
    const ExtDirEntry& entry = item.entry;
    if (IsDotName(entry.name) || !firstSeen[i]) continue;
    if (isLive[i]) {
      ExtInode inode;
      if (entry.fileType != kExtDirTypeFile && entry.fileType != kExtDirTypeSymlink &&
          volume_.CurrentInode(entry.inode, inode) && inode.Type() == ExtFileType::kDirectory)
        AddFolder(folder, number, inode, entry.name, false, item.byte);
      continue;
    }
    if (lastName[entry.inode]->entry.name == entry.name) HandleDeleted(folder, number, item);
  }
}

// A folder holds a few dozen entries in a few versions each: sorting their
// positions finds repeats without a tree node per entry.
std::vector<bool> ExtTreeWalk::FirstOfEachEntry(const std::vector<Found>& found) {
  std::vector<uint32_t> order(found.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&found](uint32_t a, uint32_t b) {
    return KeyOf(found[a].entry) < KeyOf(found[b].entry);
  });
  std::vector<bool> first(found.size());
  for (size_t i = 0; i < order.size(); ++i)
    first[order[i]] = i == 0 || KeyOf(found[order[i - 1]].entry) != KeyOf(found[order[i]].entry);
  return first;
}

void ExtTreeWalk::GatherEntries(const Folder& folder, std::vector<Found>& found,
                                std::vector<EntryKey>& live) {
  const ExtSuperblock& sb = volume_.Superblock();
  const ExtInode& inode = folder.inode;
  std::vector<ExtDirEntry>& entries = entries_;
  entries.clear();
  if (inode.HasInlineData() && !folder.deleted) {
    ParseInline(inode, entries);
    for (const ExtDirEntry& entry : entries)
      if (entry.live) live.push_back({entry.name, entry.inode});
  }
  // Small folders keep their entries in the inode: its earlier versions
  // hold the deleted ones (and those of a folder that has since grown out
  // of its inode).
  std::vector<ExtInode> versions;
  if (sb.InlineData()) volume_.InodeVersions(inode.number, versions);
  size_t age = 0;
  for (const ExtInode& version : versions) {
    if (!version.HasInlineData() || version.generation != inode.generation) continue;
    entries.clear();
    ParseInline(version, entries);
    for (ExtDirEntry& entry : entries) found.push_back({std::move(entry), 0, age});
    ++age;
  }
  if (inode.HasInlineData()) return;
  std::vector<ExtRun> runs;
  volume_.MapOf(inode, runs);
  for (const ExtRun& run : runs) {
    if (run.unwritten) continue;
    for (uint64_t i = 0; i < run.length; ++i) {
      uint64_t block = run.physical + i;
      const ExtBlockHistory& history = volume_.History(block);
      if (!folder.deleted && history.current >= 0) {
        entries.clear();
        ParseExtDirectoryBlock(sb, history.versions[static_cast<size_t>(history.current)],
                               sb.blockSize, entries);
        for (const ExtDirEntry& entry : entries)
          if (entry.live) live.push_back({entry.name, entry.inode});
      }
      for (size_t age = 0; age < history.versions.size(); ++age) {
        const uint8_t* version = history.versions[age];
        // A folder block is logged again with every change to the folder;
        // a version that repeats the one before holds nothing new.
        if (age > 0 && std::memcmp(version, history.versions[age - 1], sb.blockSize) == 0) continue;
        if (!VersionBelongs(folder, version)) continue;
        entries.clear();
        ParseExtDirectoryBlock(sb, version, sb.blockSize, entries);
        for (ExtDirEntry& entry : entries) {
          uint64_t byte = block * sb.blockSize + entry.offset;
          found.push_back({std::move(entry), byte, age});
        }
      }
    }
  }
}

void ExtTreeWalk::ParseInline(const ExtInode& inode, std::vector<ExtDirEntry>& out) const {
  const ExtSuperblock& sb = volume_.Superblock();
  ParseExtDirectoryBlock(sb, inode.map + kInlineParentBytes, kExtInodeMapBytes - kInlineParentBytes,
                         out);
  ParseExtDirectoryBlock(sb, inode.inlineTail.data(),
                         static_cast<uint32_t>(inode.inlineTail.size()), out);
}

// With metadata checksums a directory block names its owner: its tail is
// seeded with the folder's inode, so a copy from when the block belonged
// to another folder (or held file data) is told apart.
bool ExtTreeWalk::VersionBelongs(const Folder& folder, const uint8_t* block) const {
  const ExtSuperblock& sb = volume_.Superblock();
  if (!sb.MetadataChecksums()) return true;
  const uint8_t* tail = block + sb.blockSize - kDirectoryTailBytes;
  bool hasTail = Le32(tail) == 0 && Le16(tail + 4) == kDirectoryTailBytes && tail[6] == 0 &&
                 tail[7] == kDirectoryTailType;
  if (!hasTail) return true;
  uint32_t seed = ExtInodeSeed(sb, folder.inode.number, folder.inode.generation);
  return Crc32c(seed, block, sb.blockSize - kDirectoryTailBytes) == Le32(tail + 8);
}

void ExtTreeWalk::HandleDeleted(const Folder& folder, uint32_t number, const Found& found) {
  const ExtDirEntry& entry = found.entry;
  bool maybeDirectory = entry.fileType == kExtDirTypeDirectory || entry.fileType == 0;
  bool maybeFile = entry.fileType != kExtDirTypeDirectory;
  if (maybeDirectory) {
    const ExtResolved& resolved = deleted_.Resolve(entry.inode, true);
    if (resolved.state == ExtResolution::kRecovered) {
      AddFolder(folder, number, resolved.inode, entry.name, true, found.byte);
      return;
    }
  }
  if (!maybeFile) return;
  const ExtResolved& resolved = deleted_.Resolve(entry.inode, false);
  if (resolved.state == ExtResolution::kRecovered)
    RecordFile(folder, number, resolved.inode, entry.name, found.byte);
}

void ExtTreeWalk::AddFolder(const Folder& parent, uint32_t parentNumber, const ExtInode& inode,
                            const std::string& name, bool deleted, uint64_t entryByte) {
  if (folders_.count(inode.number) || parent.depth >= kMaxDepth) return;
  Folder folder;
  folder.inode = inode;
  folder.deleted = deleted || parent.deleted;
  folder.record = MakeExtRecord(place_, volume_.Superblock(), inode, name);
  folder.record.isFolder = 1;
  folder.record.fileSize = 0;
  folder.record.isDeleted = folder.deleted ? 1 : 0;
  folder.record.entrySector = place_.firstSector + entryByte / place_.sectorSize;
  folder.parent = parentNumber;
  folder.depth = parent.depth + 1;
  folders_[inode.number] = folder;
  pending_.push_back(inode.number);
}

void ExtTreeWalk::RecordFile(const Folder& parent, uint32_t parentNumber, const ExtInode& inode,
                             const std::string& name, uint64_t entryByte) {
  FoundRecord record = MakeExtRecord(place_, volume_.Superblock(), inode, name);
  record.isDeleted = 1;
  record.entrySector = place_.firstSector + entryByte / place_.sectorSize;
  FoundRecord* slot = store_.AppendRecord();
  if (!slot) return;
  record.recordNo = store_.GetRecordCount();
  *slot = record;
  store_.AddRelation(parentNumber, parent.depth, record.recordNo, record.firstCluster, nullptr);
  MarkAncestors(parentNumber);
}

// Parents are walked before their children, so following parents moves
// back in walk order and ends at the root.
void ExtTreeWalk::MarkAncestors(uint32_t number) {
  while (number != kExtRootInode && onAncestorList_.insert(number).second) {
    auto folder = folders_.find(number);
    if (folder == folders_.end()) return;
    ancestors_.push_back(number);
    number = folder->second.parent;
  }
}

void ExtTreeWalk::WriteAncestorFolders() {
  for (uint32_t number : ancestors_) {
    const Folder& folder = folders_[number];
    uint32_t parentDepth = folder.depth > 0 ? folder.depth - 1 : 0;
    FoundRecord* slot = store_.AppendRecord();
    if (!slot) return;
    *slot = folder.record;
    slot->recordNo = store_.GetRecordCount();
    store_.AddRelation(folder.parent, parentDepth, slot->recordNo, number, folder.record.name);
  }
  ancestors_.clear();
}

}  // namespace salvora
