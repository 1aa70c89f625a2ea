#include "fat/FatDeepTree.h"

#include <unordered_set>

namespace salvora {
namespace {

// Bounds on what a hostile disk can make the sweep remember: folder entries
// are about a hundred bytes each, directories met a few dozen.
constexpr size_t kMaxFolders = 1u << 18;
constexpr size_t kMaxDirectoriesMet = 1u << 18;
constexpr size_t kMaxCachedDepths = 1u << 16;
constexpr uint32_t kMaxAncestors = 1024;

uint64_t DepthCacheKey(int volume, uint32_t cluster) {
  return static_cast<uint64_t>(static_cast<uint32_t>(volume)) << 32 | cluster;
}

}  // namespace

void FatDeepTree::Clear() {
  folders_.clear();
  directoriesMet_.clear();
  depthCache_.clear();
}

void FatDeepTree::NoteFolder(const FatDeepEntry& folder, uint32_t cluster, uint32_t parent,
                             int volume, uint64_t entrySector) {
  if (cluster == 0 || cluster == parent) return;
  if (folders_.size() >= kMaxFolders && !folders_.count(cluster)) return;
  folders_[cluster] = {parent, volume, entrySector, folder.times, folder.name};
}

void FatDeepTree::AddFile(const FatDeepEntry& file, int volume, uint32_t directory,
                          uint64_t entrySector) {
  const FatDeepVolume& place = volumes_[volume];
  Found found;
  found.cluster = file.highWordLost
                      ? RecoverHighWord(reader_, place, file.cluster, false, file.name)
                      : file.cluster;
  found.size = file.size;
  found.times = file.times;
  found.entrySector = entrySector;
  found.contentOk = HeaderMatches(reader_, place, found.cluster, file.name);
  uint32_t depth = Depth(volume, directory);
  uint32_t recordNo = Append(place, found, file.name);
  if (recordNo == 0) return;
  store_.AddRelation(KeyCluster(directory, depth), depth, recordNo, found.cluster, nullptr);
  RegisterAncestors(volume, directory);
}

uint32_t FatDeepTree::Depth(int volume, uint32_t cluster) {
  uint64_t key = DepthCacheKey(volume, cluster);
  auto cached = depthCache_.find(key);
  if (cached != depthCache_.end()) return cached->second;
  uint32_t depth = DirectoryDepth(reader_, volumes_[volume], cluster, rootCluster_);
  if (depthCache_.size() >= kMaxCachedDepths) depthCache_.clear();
  depthCache_.emplace(key, depth);
  return depth;
}

// Walks up from the file's directory through known folder entries, or the
// ".." entries on disk where the entry is gone. A directory met before has
// had its ancestors registered then.
void FatDeepTree::RegisterAncestors(int volume, uint32_t directory) {
  std::unordered_set<uint32_t> seen;
  uint32_t cluster = directory;
  while (cluster >= 2 && cluster != rootCluster_ && seen.size() < kMaxAncestors &&
         directoriesMet_.size() < kMaxDirectoriesMet) {
    if (!seen.insert(cluster).second || directoriesMet_.count(cluster)) return;
    uint64_t sector = 0;
    if (!volumes_[volume].SectorOfCluster(cluster, sector)) return;
    directoriesMet_[cluster] = {volume, sector};
    uint32_t parent = 0;
    auto folder = folders_.find(cluster);
    if (folder != folders_.end()) {
      parent = folder->second.parent;
      if (folder->second.volume != FatDeepVolumes::kNone) volume = folder->second.volume;
    } else {
      FatDeepDirectoryHead head = ReadDirectoryHead(reader_, sector);
      if (!head.read || !head.dotEntries) return;
      parent = head.parentCluster;
    }
    if (parent == cluster) return;
    cluster = parent;
  }
}

void FatDeepTree::EmitFolders() {
  for (const auto& [cluster, met] : directoriesMet_) EmitFolder(cluster, met);
}

// A folder whose entry was never found is kept as a lost folder, filed under
// the parent its ".." names, or under the root.
void FatDeepTree::EmitFolder(uint32_t cluster, const DirectoryMet& met) {
  Found found;
  found.isFolder = true;
  found.cluster = cluster;
  int parentVolume = met.volume;
  uint32_t parent = rootCluster_;
  std::string name;
  auto folder = folders_.find(cluster);
  if (folder != folders_.end()) {
    const FolderEntry& entry = folder->second;
    parent = entry.parent;
    if (entry.volume != FatDeepVolumes::kNone) parentVolume = entry.volume;
    found.times = entry.times;
    found.entrySector = entry.entrySector;
    name = entry.name;
  } else {
    FatDeepDirectoryHead head = ReadDirectoryHead(reader_, met.sector);
    if (head.dotEntries && head.parentCluster != 0 && head.parentCluster != cluster) {
      parent = head.parentCluster;
    }
    found.entrySector = met.sector;
    name = "LostFolder" + std::to_string(cluster);
  }
  uint32_t depth = Depth(parentVolume, parent);
  uint32_t recordNo = Append(volumes_[met.volume], found, name);
  if (recordNo == 0) return;
  store_.AddRelation(KeyCluster(parent, depth), depth, recordNo, cluster, name.c_str());
}

uint32_t FatDeepTree::Append(const FatDeepVolume& volume, const Found& found,
                             const std::string& name) {
  FoundRecord* record = store_.AppendRecord();
  if (!record) return 0;
  record->sourceTag = sourceTag_;
  record->engineKind = kDeepFat;
  record->isFolder = found.isFolder ? 1 : 0;
  record->contentOk = found.contentOk;
  record->recordNo = store_.GetRecordCount();
  record->firstCluster = found.cluster;
  record->clusterBytes =
      static_cast<uint32_t>(reader_.SectorSize()) * static_cast<uint32_t>(volume.sectorsPerCluster);
  record->createTime = found.times.create;
  record->accessTime = found.times.access;
  record->writeTime = found.times.write;
  record->fileSize = found.size;
  record->dataAreaSector = volume.dataOffset;
  record->entrySector = found.entrySector;
  record->volumeFirstSector = volume.volumeStart;
  SetRecordName(record->name, name.c_str(), name.size());
  return record->recordNo;
}

}  // namespace salvora
