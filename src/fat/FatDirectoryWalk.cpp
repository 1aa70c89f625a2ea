#include "fat/FatDirectoryWalk.h"

#include <algorithm>
#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// FAT caps a directory at 65536 entries; a chain longer than that is not a
// directory any more but a loop or other data.
constexpr uint32_t kMaxDirectoryBytes = 65536 * kDirEntryBytes;

bool IsDotName(const FatDirEntry& e) { return std::memcmp(e.name, ".          ", 11) == 0; }
bool IsDotDotName(const FatDirEntry& e) { return std::memcmp(e.name, "..         ", 11) == 0; }

}  // namespace

FatDirectoryWalk::FatDirectoryWalk(const FatVolumeReader& volume, FatTable& fat,
                                   ScanResultStore& store, uint16_t sourceTag,
                                   const FatUsageMap& usage)
    : volume_(volume),
      fat_(fat),
      store_(store),
      sourceTag_(sourceTag),
      usage_(usage),
      probe_(volume) {
  const FatLayout& layout = volume_.layout;
  uint64_t rootBytes = static_cast<uint64_t>(layout.rootDirSectors) * layout.bytesPerSector;
  unit_.resize(std::max<uint64_t>(rootBytes, layout.ClusterBytes()));
}

int FatDirectoryWalk::Run(const std::function<int()>& betweenDirectories) {
  pending_.push_back(volume_.layout.rootCluster);
  int answer = WalkPending(betweenDirectories);
  if (answer != kOk) return answer;
  return WalkOrphans(betweenDirectories);
}

int FatDirectoryWalk::WalkPending(const std::function<int()>& betweenDirectories) {
  while (!pending_.empty()) {
    uint32_t cluster = pending_.front();
    pending_.pop_front();
    if (!visited_.insert(cluster).second) continue;
    WalkDirectory(cluster);
    int answer = betweenDirectories ? betweenDirectories() : 0;
    if (answer != 0) return answer;
  }
  return kOk;
}

// A lost directory whose parent is lost too is first left to its parent's
// walk, where its entry may still give its name; only what that walk does
// not reach gets a name of its own.
int FatDirectoryWalk::WalkOrphans(const std::function<int()>& betweenDirectories) {
  std::vector<OrphanDirectory> orphans = FindOrphanDirectories(
      volume_, usage_, [this](uint32_t cluster) { return visited_.count(cluster) != 0; });
  std::unordered_set<uint32_t> orphanClusters;
  for (const OrphanDirectory& orphan : orphans) orphanClusters.insert(orphan.cluster);
  for (bool topmostOnly : {true, false}) {
    for (const OrphanDirectory& orphan : orphans) {
      if (visited_.count(orphan.cluster)) continue;
      if (topmostOnly && orphanClusters.count(orphan.parent)) continue;
      AddOrphanFolder(orphan);
      int answer = WalkPending(betweenDirectories);
      if (answer != kOk) return answer;
    }
  }
  return kOk;
}

void FatDirectoryWalk::AddOrphanFolder(const OrphanDirectory& orphan) {
  uint32_t parent = walked_.count(orphan.parent) ? orphan.parent : volume_.layout.rootCluster;
  FolderEntry folder{BaseRecord(orphan.dot, "LostFolder" + std::to_string(orphan.cluster)),
                     parent};
  folder.record.isFolder = 1;
  folder.record.isDeleted = 1;
  folder.record.firstCluster = orphan.cluster;
  discovered_[orphan.cluster].push_back(folder);
  pending_.push_back(orphan.cluster);
}

int FatDirectoryWalk::WalkDirectory(uint32_t cluster) {
  const FatLayout& layout = volume_.layout;
  bool fixedRoot = cluster == 0 && !layout.IsFat32();
  uint32_t unitSectors = fixedRoot ? layout.rootDirSectors : layout.sectorsPerCluster;
  uint32_t maxUnits = fixedRoot ? 1 : std::max(1u, kMaxDirectoryBytes / layout.ClusterBytes());
  DirectoryState state;
  uint32_t current = cluster;
  chain_.clear();
  for (uint32_t unit = 0; unit < maxUnits && chain_.insert(current).second; ++unit) {
    uint64_t sector = layout.ClusterSector(current);
    uint32_t got = 0;
    int result = volume_.Read(sector, unitSectors, unit_.data(), got);
    if (got == 0) return result != kOk ? result : kReadFault;
    size_t bytes = static_cast<size_t>(got) * layout.bytesPerSector;
    if (unit == 0 && !AdoptDirectory(cluster, unit_.data(), bytes, state)) return kOk;
    // A later cluster that starts a directory of its own is not ours: the
    // chain of a deleted directory is only guessed through free clusters.
    if (unit > 0 && StartsWithDotPair(unit_.data(), bytes)) return kOk;
    if (!WalkUnit(state, unit_.data(), bytes, sector) || result != kOk || fixedRoot) return result;
    uint32_t next = 0;
    if (fat_.NextCluster(current, next) != kOk || next == 0 || next == current) return kOk;
    current = next;
  }
  return kOk;
}

bool FatDirectoryWalk::AdoptDirectory(uint32_t cluster, const uint8_t* firstUnit, size_t bytes,
                                      DirectoryState& state) {
  state.cluster = cluster;
  if (IsRoot(cluster)) {
    walked_[cluster] = WalkedFolder{};
    return true;
  }
  auto found = discovered_.find(cluster);
  if (found == discovered_.end()) return false;
  std::vector<FolderEntry> candidates = std::move(found->second);
  discovered_.erase(found);
  if (candidates.empty() || !StartsWithDotPair(firstUnit, bytes)) return false;
  FatDirEntry dotDot = LoadDirEntry(firstUnit + kDirEntryBytes);
  uint32_t parent = EntryCluster(dotDot, volume_.layout.IsFat32());
  if (parent == 0) parent = volume_.layout.rootCluster;
  const FolderEntry* chosen = &candidates.back();
  for (const FolderEntry& candidate : candidates)
    if (candidate.parent == parent) chosen = &candidate;
  auto parentFolder = walked_.find(chosen->parent);
  uint32_t depth = parentFolder == walked_.end() ? 1 : parentFolder->second.depth + 1;
  walked_[cluster] = WalkedFolder{*chosen, depth};
  state.parentDeleted = chosen->record.isDeleted != 0;
  state.depth = depth;
  return true;
}

bool FatDirectoryWalk::WalkUnit(DirectoryState& state, const uint8_t* data, size_t bytes,
                                uint64_t unitSector) {
  uint32_t bytesPerSector = volume_.layout.bytesPerSector;
  for (size_t offset = 0; offset + kDirEntryBytes <= bytes; offset += kDirEntryBytes) {
    const uint8_t* slot = data + offset;
    FatDirEntry entry = LoadDirEntry(slot);
    if (IsEndOfDirectory(entry)) return false;
    const uint8_t* next = offset + 2 * kDirEntryBytes <= bytes ? slot + kDirEntryBytes : nullptr;
    if (!IsValidDirEntry(slot, next)) {
      state.longName.Reset();
    } else if (IsLongNameEntry(entry)) {
      state.longName.Add(entry);
    } else {
      HandleShortEntry(state, entry, volume_.Absolute(unitSector + offset / bytesPerSector));
    }
  }
  return true;
}

void FatDirectoryWalk::HandleShortEntry(DirectoryState& state, const FatDirEntry& entry,
                                        uint64_t entrySector) {
  std::string name;
  if (!state.longName.TakeFor(entry, name)) name = ShortEntryName(entry);
  if (IsDirectoryEntry(entry)) {
    if (!IsDotName(entry) && !IsDotDotName(entry)) AddFolder(state, entry, name);
  } else if (IsFileEntry(entry) && (IsDeletedEntry(entry) || state.parentDeleted)) {
    RecordFile(state, entry, name, entrySector);
  }
}

FoundRecord FatDirectoryWalk::BaseRecord(const FatDirEntry& entry, const std::string& name) const {
  FoundRecord record{};
  record.sourceTag = sourceTag_;
  record.engineKind = kQuickFat;
  record.clusterBytes = volume_.layout.ClusterBytes();
  EntryTimes times = DirEntryTimes(entry);
  record.createTime = times.create;
  record.accessTime = times.access;
  record.writeTime = times.write;
  record.dataAreaSector = volume_.layout.firstDataSector;
  record.volumeFirstSector = volume_.firstSector;
  SetRecordName(record.name, name.data(), name.size());
  return record;
}

void FatDirectoryWalk::AddFolder(const DirectoryState& state, const FatDirEntry& entry,
                                 const std::string& name) {
  bool fat32 = volume_.layout.IsFat32();
  uint32_t cluster = EntryCluster(entry, fat32);
  if (fat32 && IsDeletedEntry(entry) && entry.clusterHigh == 0)
    cluster = probe_.FindDirectoryCluster(entry.clusterLow);
  if (cluster == state.cluster || !volume_.layout.IsDataCluster(cluster)) return;
  if (visited_.count(cluster)) return;
  FolderEntry folder{BaseRecord(entry, name), state.cluster};
  folder.record.isFolder = 1;
  folder.record.isDeleted = IsDeletedEntry(entry) || state.parentDeleted ? 1 : 0;
  folder.record.firstCluster = cluster;
  discovered_[cluster].push_back(folder);
  pending_.push_back(cluster);
}

void FatDirectoryWalk::RecordFile(const DirectoryState& state, const FatDirEntry& entry,
                                  const std::string& name, uint64_t entrySector) {
  bool fat32 = volume_.layout.IsFat32();
  uint32_t cluster = EntryCluster(entry, fat32);
  if (fat32 && IsDeletedEntry(entry) && entry.clusterHigh == 0 && entry.fileSize > 0)
    cluster = probe_.FindFileCluster(entry.clusterLow, name);
  FoundRecord record = BaseRecord(entry, name);
  record.isDeleted = 1;
  record.firstCluster = cluster;
  record.fileSize = entry.fileSize;
  record.entrySector = entrySector;
  record.contentOk = static_cast<uint32_t>(probe_.ContentCheck(name, cluster));
  FoundRecord* slot = store_.AppendRecord();
  if (!slot) return;
  record.recordNo = store_.GetRecordCount();
  *slot = record;
  store_.AddRelation(state.cluster, state.depth, record.recordNo, cluster, nullptr);
  MarkAncestors(state.cluster);
}

// Parents are always walked before their children, so following parents
// moves strictly back in walk order and ends at the root.
void FatDirectoryWalk::MarkAncestors(uint32_t cluster) {
  while (!IsRoot(cluster) && onAncestorList_.insert(cluster).second) {
    auto folder = walked_.find(cluster);
    if (folder == walked_.end()) return;
    ancestors_.push_back(cluster);
    cluster = folder->second.entry.parent;
  }
}

void FatDirectoryWalk::WriteAncestorFolders() {
  for (uint32_t cluster : ancestors_) {
    const WalkedFolder& folder = walked_[cluster];
    auto parent = walked_.find(folder.entry.parent);
    uint32_t parentDepth = parent == walked_.end() ? 0 : parent->second.depth;
    FoundRecord* slot = store_.AppendRecord();
    if (!slot) return;
    *slot = folder.entry.record;
    slot->contentOk = 1;
    slot->recordNo = store_.GetRecordCount();
    store_.AddRelation(folder.entry.parent, parentDepth, slot->recordNo, cluster,
                       folder.entry.record.name);
  }
  ancestors_.clear();
}

}  // namespace salvora
