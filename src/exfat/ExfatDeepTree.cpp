#include "exfat/ExfatDeepTree.h"

#include <algorithm>
#include <unordered_set>

namespace salvora {
namespace {

bool PlausibleData(const FatLayout& layout, const ExfatStream& stream) {
  uint64_t heapBytes = static_cast<uint64_t>(layout.clusterCount) * layout.ClusterBytes();
  return stream.dataLength <= heapBytes &&
         (stream.dataLength == 0 || layout.IsDataCluster(stream.firstCluster));
}

// Clusters a folder is known to span: its whole run when it is one, else
// only the first cluster, since a format leaves no FAT to follow.
uint64_t KnownClusters(const FatLayout& layout, const ExfatStream& stream) {
  if (!stream.noFatChain) return 1;
  uint64_t clusters = (stream.dataLength + layout.ClusterBytes() - 1) / layout.ClusterBytes();
  return std::clamp<uint64_t>(clusters, 1, layout.clusterCount);
}

}  // namespace

void ExfatDeepTree::Add(const ExfatEntrySet& set, uint64_t streamSector) {
  Found found;
  found.set = set;
  found.streamSector = streamSector;
  found_.push_back(std::move(found));
}

void ExfatDeepTree::Clear() {
  found_.clear();
  folders_.clear();
}

int ExfatDeepTree::FolderHolding(const FatLayout& layout, uint64_t volumeFirstSector,
                                 uint64_t sector) const {
  if (sector < volumeFirstSector + layout.firstDataSector) return -1;
  uint64_t cluster =
      (sector - volumeFirstSector - layout.firstDataSector) / layout.sectorsPerCluster + 2;
  auto after = folders_.upper_bound(static_cast<uint32_t>(std::min<uint64_t>(cluster, UINT32_MAX)));
  if (after == folders_.begin()) return -1;
  auto folder = std::prev(after);
  const ExfatStream& stream = found_[folder->second].set.stream;
  bool inside = cluster < folder->first + KnownClusters(layout, stream);
  return inside ? static_cast<int>(folder->second) : -1;
}

void ExfatDeepTree::PlaceSets(const FatLayout& layout, uint64_t volumeFirstSector) {
  for (size_t i = 0; i < found_.size(); ++i) {
    const ExfatEntrySet& set = found_[i].set;
    if (set.isDirectory && layout.IsDataCluster(set.stream.firstCluster))
      folders_.emplace(set.stream.firstCluster, i);
  }
  for (size_t i = 0; i < found_.size(); ++i) {
    int parent = FolderHolding(layout, volumeFirstSector, found_[i].streamSector);
    found_[i].parent = parent == static_cast<int>(i) ? -1 : parent;
  }
}

// A loop of folders, each lying in the next, is cut where it closes: that
// folder comes out at the top.
void ExfatDeepTree::CutLoops() {
  enum : uint8_t { kNew, kOnPath, kSettled };
  std::vector<uint8_t> state(found_.size(), kNew);
  for (size_t start = 0; start < found_.size(); ++start) {
    std::vector<size_t> path;
    size_t at = start;
    while (state[at] == kNew) {
      state[at] = kOnPath;
      path.push_back(at);
      if (found_[at].parent < 0) break;
      at = static_cast<size_t>(found_[at].parent);
    }
    if (state[at] == kOnPath && found_[at].parent >= 0) found_[at].parent = -1;
    for (size_t node : path) state[node] = kSettled;
  }
}

uint32_t ExfatDeepTree::DepthOf(size_t index) {
  std::vector<size_t> path;
  size_t at = index;
  while (found_[at].depth == 0) {
    path.push_back(at);
    if (found_[at].parent < 0) break;
    at = static_cast<size_t>(found_[at].parent);
  }
  uint32_t depth = found_[at].depth;
  for (auto node = path.rbegin(); node != path.rend(); ++node) {
    depth = found_[*node].parent < 0 ? 1 : depth + 1;
    found_[*node].depth = depth;
  }
  return found_[index].depth;
}

void ExfatDeepTree::Write(const FatVolumeReader& volume, ScanResultStore& store,
                          uint16_t sourceTag) {
  const FatLayout& layout = volume.layout;
  PlaceSets(layout, volume.firstSector);
  CutLoops();
  ClusterProbe probe(volume);
  FoundRecord base{};
  base.sourceTag = sourceTag;
  base.engineKind = kDeepExfat;
  base.isDeleted = 1;
  base.clusterBytes = layout.ClusterBytes();
  base.dataAreaSector = layout.firstDataSector;
  base.volumeFirstSector = volume.firstSector;
  std::vector<size_t> folders;
  for (size_t i = 0; i < found_.size(); ++i) {
    Found& file = found_[i];
    if (file.set.isDirectory || !PlausibleData(layout, file.set.stream)) continue;
    int parent = file.parent;
    uint32_t parentDepth = parent >= 0 ? DepthOf(static_cast<size_t>(parent)) : 0;
    FoundRecord* slot = store.AppendRecord();
    if (!slot) break;
    *slot = base;
    slot->recordNo = store.GetRecordCount();
    slot->firstCluster = file.set.stream.firstCluster;
    slot->createTime = file.set.createTime;
    slot->accessTime = file.set.accessTime;
    slot->writeTime = file.set.writeTime;
    slot->fileSize = file.set.stream.dataLength;
    slot->entrySector = file.streamSector;
    SetRecordName(slot->name, file.set.name.data(), file.set.name.size());
    slot->contentOk =
        file.set.stream.dataLength == 0
            ? 1
            : static_cast<uint32_t>(probe.ContentCheck(file.set.name, slot->firstCluster));
    uint32_t parentCluster = parent >= 0 ? found_[parent].set.stream.firstCluster : 0;
    store.AddRelation(parentCluster, parentDepth, slot->recordNo, slot->firstCluster, nullptr);
    for (int up = parent; up >= 0 && !found_[up].aboveAFile; up = found_[up].parent) {
      found_[up].aboveAFile = true;
      folders.push_back(static_cast<size_t>(up));
    }
  }
  for (size_t index : folders) WriteFolder(index, base, store);
  Clear();
}

void ExfatDeepTree::WriteFolder(size_t index, const FoundRecord& base, ScanResultStore& store) {
  const Found& folder = found_[index];
  FoundRecord* slot = store.AppendRecord();
  if (!slot) return;
  *slot = base;
  slot->isFolder = 1;
  slot->contentOk = 1;
  slot->recordNo = store.GetRecordCount();
  slot->firstCluster = folder.set.stream.firstCluster;
  slot->createTime = folder.set.createTime;
  slot->accessTime = folder.set.accessTime;
  slot->writeTime = folder.set.writeTime;
  slot->entrySector = folder.streamSector;
  SetRecordName(slot->name, folder.set.name.data(), folder.set.name.size());
  int parent = folder.parent;
  uint32_t parentCluster = parent >= 0 ? found_[parent].set.stream.firstCluster : 0;
  uint32_t parentDepth = parent >= 0 ? found_[parent].depth : 0;
  store.AddRelation(parentCluster, parentDepth, slot->recordNo, slot->firstCluster, slot->name);
}

}  // namespace salvora
