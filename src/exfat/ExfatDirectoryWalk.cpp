#include "exfat/ExfatDirectoryWalk.h"

#include <algorithm>

#include "exfat/ExfatClusterChain.h"
#include "platform/ErrorCodes.h"

namespace salvora {

ExfatDirectoryWalk::ExfatDirectoryWalk(const FatVolumeReader& volume, FatTable& fat,
                                       const ClusterUsageMap* bitmap, ScanResultStore& store,
                                       uint16_t sourceTag)
    : volume_(volume),
      fat_(fat),
      bitmap_(bitmap),
      store_(store),
      sourceTag_(sourceTag),
      probe_(volume),
      unit_(volume.layout.ClusterBytes()) {}

int ExfatDirectoryWalk::Run(const std::function<int()>& betweenFolders) {
  // The root has no entry set of its own: its FAT chain is its length.
  Folder root;
  root.stream.firstCluster = volume_.layout.rootCluster;
  root.stream.dataLength = root.stream.validDataLength = kMaxExfatDirectoryBytes;
  folders_[root.stream.firstCluster] = root;
  pending_.push_back(root.stream.firstCluster);
  while (!pending_.empty()) {
    uint32_t cluster = pending_.front();
    pending_.pop_front();
    WalkFolder(cluster);
    int answer = betweenFolders ? betweenFolders() : 0;
    if (answer != 0) return answer;
  }
  return kOk;
}

void ExfatDirectoryWalk::WalkFolder(uint32_t cluster) {
  const Folder folder = folders_[cluster];
  const FatLayout& layout = volume_.layout;
  ExfatClusterChain chain(fat_, bitmap_, folder.stream, folder.deleted);
  bool taken = false;
  if (chain.Start(taken) != kOk) return;
  uint64_t remaining = std::min(folder.stream.dataLength, kMaxExfatDirectoryBytes);
  auto onSet = [&](const ExfatEntrySet& set, uint64_t streamSector) {
    HandleSet(folder, cluster, set, streamSector);
  };
  window_.Clear();
  // A chain that comes back to a cluster it passed is a loop, however long
  // the folder claims to be: reading on would only hand out its sets again.
  chain_.clear();
  for (uint32_t current = cluster;
       current != 0 && remaining > 0 && chain_.insert(current).second;) {
    uint64_t bytes = std::min<uint64_t>(layout.ClusterBytes(), remaining);
    if (taken) {
      // Another folder's entries now: nothing of ours joins across it.
      window_.Drain(true, onSet);
    } else if (!ReadPiece(current, bytes, onSet)) {
      break;
    }
    remaining -= bytes;
    if (remaining == 0 || chain.Next(current, current, taken) != kOk) break;
  }
  window_.Drain(true, onSet);
}

bool ExfatDirectoryWalk::ReadPiece(uint32_t cluster, uint64_t bytes,
                                   const ExfatSlotWindow::SetHandler& onSet) {
  const FatLayout& layout = volume_.layout;
  uint32_t sectors =
      static_cast<uint32_t>((bytes + layout.bytesPerSector - 1) / layout.bytesPerSector);
  uint64_t sector = layout.ClusterSector(cluster);
  uint32_t got = 0;
  volume_.Read(sector, sectors, unit_.data(), got);
  window_.Append(unit_.data(), static_cast<size_t>(got) * layout.bytesPerSector,
                 volume_.Absolute(sector), layout.bytesPerSector);
  return window_.Drain(false, onSet) && got == sectors;
}

void ExfatDirectoryWalk::HandleSet(const Folder& folder, uint32_t cluster, const ExfatEntrySet& set,
                                   uint64_t streamSector) {
  if (set.isDirectory) {
    AddFolder(folder, cluster, set);
  } else if ((set.deleted || folder.deleted) && PlausibleData(set.stream)) {
    RecordFile(folder, cluster, set, streamSector);
  }
}

bool ExfatDirectoryWalk::PlausibleData(const ExfatStream& stream) const {
  const FatLayout& layout = volume_.layout;
  uint64_t heapBytes = static_cast<uint64_t>(layout.clusterCount) * layout.ClusterBytes();
  if (stream.dataLength > heapBytes) return false;
  return stream.dataLength == 0 || layout.IsDataCluster(stream.firstCluster);
}

FoundRecord ExfatDirectoryWalk::BaseRecord(const ExfatEntrySet& set) const {
  FoundRecord record{};
  record.sourceTag = sourceTag_;
  record.engineKind = kQuickExfat;
  record.firstCluster = set.stream.firstCluster;
  record.clusterBytes = volume_.layout.ClusterBytes();
  record.createTime = set.createTime;
  record.accessTime = set.accessTime;
  record.writeTime = set.writeTime;
  record.dataAreaSector = volume_.layout.firstDataSector;
  record.volumeFirstSector = volume_.firstSector;
  SetRecordName(record.name, set.name.data(), set.name.size());
  return record;
}

void ExfatDirectoryWalk::AddFolder(const Folder& parent, uint32_t parentCluster,
                                   const ExfatEntrySet& set) {
  uint32_t cluster = set.stream.firstCluster;
  if (!volume_.layout.IsDataCluster(cluster) || folders_.count(cluster)) return;
  Folder folder;
  folder.deleted = set.deleted || parent.deleted;
  // A deleted folder whose cluster is taken again holds other entries now,
  // and must not keep the live folder that took it from being walked.
  // Without the bitmap nothing tells, so no deleted folder is trusted.
  if (folder.deleted && (!bitmap_ || ClusterTaken(bitmap_, cluster))) return;
  folder.record = BaseRecord(set);
  folder.record.isFolder = 1;
  folder.record.isDeleted = folder.deleted ? 1 : 0;
  folder.stream = set.stream;
  folder.parent = parentCluster;
  folder.depth = parent.depth + 1;
  folders_[cluster] = folder;
  pending_.push_back(cluster);
}

void ExfatDirectoryWalk::RecordFile(const Folder& parent, uint32_t parentCluster,
                                    const ExfatEntrySet& set, uint64_t streamSector) {
  FoundRecord record = BaseRecord(set);
  record.isDeleted = 1;
  record.fileSize = set.stream.dataLength;
  record.entrySector = streamSector;
  record.contentOk =
      set.stream.dataLength == 0
          ? 1
          : static_cast<uint32_t>(probe_.ContentCheck(set.name, record.firstCluster));
  FoundRecord* slot = store_.AppendRecord();
  if (!slot) return;
  record.recordNo = store_.GetRecordCount();
  *slot = record;
  store_.AddRelation(parentCluster, parent.depth, record.recordNo, record.firstCluster, nullptr);
  MarkAncestors(parentCluster);
}

// Parents are always walked before their children, so following parents
// moves strictly back in walk order and ends at the root.
void ExfatDirectoryWalk::MarkAncestors(uint32_t cluster) {
  while (!IsRoot(cluster) && onAncestorList_.insert(cluster).second) {
    auto folder = folders_.find(cluster);
    if (folder == folders_.end()) return;
    ancestors_.push_back(cluster);
    cluster = folder->second.parent;
  }
}

void ExfatDirectoryWalk::WriteAncestorFolders() {
  for (uint32_t cluster : ancestors_) {
    const Folder& folder = folders_[cluster];
    uint32_t parentDepth = folder.depth > 0 ? folder.depth - 1 : 0;
    FoundRecord* slot = store_.AppendRecord();
    if (!slot) return;
    *slot = folder.record;
    slot->contentOk = 1;
    slot->recordNo = store_.GetRecordCount();
    store_.AddRelation(folder.parent, parentDepth, slot->recordNo, cluster, folder.record.name);
  }
  ancestors_.clear();
}

}  // namespace salvora
