#include "storage/StoreEngine.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <set>

#include "platform/DataFolders.h"
#include "platform/DeviceStack.h"
#include "platform/ErrorCodes.h"
#include "results/RecoveryNames.h"
#include "results/ScanHistory.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

// Folders deeper than this are not a real tree but a hostile store.
constexpr size_t kMaxTreeFolders = 1u << 22;

std::string ParentFolder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Preview copies go to the process's private folder and never onto what is
// being read; where no such folder can be had the preview stays in memory.
std::string SafePreviewFolder(const std::string& sourcePath) {
  std::string folder = PreviewFolder().string();
  if (folder.empty() || PlaceTouchesSource(folder, sourcePath)) return {};
  return folder;
}

}  // namespace

int StoreEngine::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenImageSource(imagePath, sourceTag);
  opened_ = result == kOk;
  return result;
}

int StoreEngine::OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                          uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag);
  opened_ = result == kOk;
  return result;
}

int StoreEngine::SetCallbacks(ScanProgressFn onScan, TransferProgressFn onTransfer, void* userData,
                              int32_t percentScale) {
  onScan_ = onScan;
  onTransfer_ = onTransfer;
  userData_ = userData;
  percentScale_ = percentScale;
  return kOk;
}

int StoreEngine::ListFolder(const FoundRecord* folder, int32_t depth,
                            std::vector<FoundRecord>& out) {
  int result = VisitFolder(folder, depth, [&](const FoundRecord& child) { out.push_back(child); });
  if (result == kOk) SortRecords(out);
  return result;
}

int StoreEngine::VisitFolder(const FoundRecord* folder, int32_t depth, const RecordVisitor& visit) {
  if (!folder && depth != 0) return kInvalidParameter;
  if (!store_.IsOpen()) return kOk;
  store_.Flush();
  uint64_t key =
      folder ? FolderKey(folder->firstCluster, static_cast<uint32_t>(depth)) : RootFolderKey();
  return store_.VisitChildren(key, visit);
}

int StoreEngine::CountFolderFiles(const FoundRecord* folder, int32_t depth, uint32_t& count) {
  count = 0;
  if (!folder && depth != 0) return kInvalidParameter;
  if (!store_.IsOpen()) return kOk;
  store_.Flush();
  uint64_t key =
      folder ? FolderKey(folder->firstCluster, static_cast<uint32_t>(depth)) : RootFolderKey();
  return store_.CountFiles(key, count);
}

uint64_t StoreEngine::GetRecordCount() { return store_.IsOpen() ? store_.GetRecordCount() : 0; }

int StoreEngine::GetRecordPath(const FoundRecord& record, std::string& path) {
  path.clear();
  if (!store_.IsOpen()) return kOk;
  store_.Flush();
  return store_.RecordPath(record, path);
}

int StoreEngine::NextFreeRange(uint64_t&, uint64_t&) { return 0; }

int StoreEngine::SetListCallback(ListProgressFn fn, void* userData) {
  onList_ = fn;
  listUserData_ = userData;
  if (!store_.IsOpen()) return kInvalidParameter;
  store_.SetListCallback(fn, userData);
  return kOk;
}

int StoreEngine::ListByType(const std::string& filter, std::vector<FoundRecord>& out) {
  if (!store_.IsOpen()) return 0;
  return store_.ListByTypes(filter, out);
}

int StoreEngine::VisitByType(const std::string& filter, const RecordVisitor& visit) {
  if (!store_.IsOpen()) return 0;
  return store_.VisitByTypes(filter, visit);
}

int StoreEngine::BuildUsageMap() { return 0; }

int StoreEngine::OpenDiskSource(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                uint16_t sourceTag) {
  diskNumber_ = diskNumber;
  firstSector_ = firstSector;
  sectorCount_ = sectorCount;
  sourceTag_ = sourceTag;
  int result = source_.OpenDisk(diskNumber);
  if (result != kOk) return result;
  sectorSize_ = static_cast<int>(source_.DeviceSectorSize());
  // A partition entry may claim more than the disk holds; the volume ends
  // where the disk does.
  uint64_t onDisk = source_.SectorCount() > firstSector ? source_.SectorCount() - firstSector : 0;
  sectorCount_ = std::min(sectorCount, onDisk);
  return kOk;
}

int StoreEngine::OpenImageSource(const std::string& imagePath, uint16_t sourceTag) {
  sourceTag_ = sourceTag;
  firstSector_ = 0;
  int result = source_.OpenImage(imagePath);
  sectorSize_ = 512;
  sectorCount_ = source_.SectorCount();
  return result;
}

int StoreEngine::OpenStoreNamed(const std::string& name) {
  store_.CloseStore();
  int result = store_.OpenStore(ScanHistory::Instance().CurrentRunFolder(), name);
  if (result == kOk && onList_) store_.SetListCallback(onList_, listUserData_);
  return result;
}

int StoreEngine::OpenNewStoreNamed(const std::string& name) {
  store_.CloseStore();
  std::string base = ScanHistory::Instance().CurrentRunFolder() + "/" + name;
  for (const char* suffix : {"", "_Relation", "_DirInfo"}) std::remove((base + suffix).c_str());
  return OpenStoreNamed(name);
}

int StoreEngine::ReadVolumeSectors(uint64_t sector, uint32_t count, void* buffer,
                                   uint32_t& sectorsRead) {
  sectorsRead = 0;
  if (count > static_cast<uint32_t>(INT32_MAX)) return kInvalidParameter;
  return source_.ReadSectors(static_cast<int32_t>(count), buffer, firstSector_ + sector,
                             sectorSize_, sectorsRead);
}

int StoreEngine::ReportScan(int32_t percent, int32_t secondsLeft, uint64_t done, uint64_t total,
                            uint64_t found) {
  if (!onScan_) return 0;
  return onScan_(userData_, percent, percentScale_, secondsLeft, done, total, found, 0);
}

int StoreEngine::RecoverItem(const FoundRecord* record, const std::string& destPath, int32_t) {
  if (!record) return kInvalidParameter;
  if (record->isFolder) return RecoverFolderTree(*record, destPath);
  return RecoverOne(*record, destPath);
}

int StoreEngine::RecoverOne(const FoundRecord& record, const std::string& destPath) {
  if (record.isFolder) return CreateFolders(destPath);
  RecoverySink sink(record.fileSize, onTransfer_, userData_);
  int result = CreateFolders(ParentFolder(destPath));
  if (result == kOk) result = sink.Open(destPath);
  if (result == kOk) result = CopyFileData(record, sink);
  if (result == kOk && sink.Written() == 0) result = sink.ReportDone();
  int closeResult = sink.Close();
  if (result == kOk) result = closeResult;
  if (result > 0) sink.ReportFailure(result);
  return result;
}

// Breadth-first: the files of a folder are copied as they are listed, its
// subfolders are created at once and expanded in the order they were met.
// Each folder's depth comes from the store, so the destination may lie at
// any depth; a key met twice (a damaged store) is not expanded again.
int StoreEngine::RecoverFolderTree(const FoundRecord& folder, const std::string& destPath) {
  int result = CreateFolders(destPath);
  if (result != kOk) return result;
  uint32_t depth = 0;
  if (!store_.FolderDepthOf(folder, depth)) depth = 1;
  std::deque<std::pair<FoundRecord, std::pair<std::string, uint32_t>>> queue;
  queue.push_back({folder, {destPath, depth}});
  std::set<uint64_t> expanded;
  while (!queue.empty() && expanded.size() < kMaxTreeFolders) {
    auto [entry, place] = queue.front();
    queue.pop_front();
    auto [folderPath, folderDepth] = place;
    if (!expanded.insert(FolderKey(entry.firstCluster, folderDepth)).second) continue;
    std::vector<FoundRecord> children;
    int listed = ListFolder(&entry, static_cast<int32_t>(folderDepth), children);
    if (listed != kOk) {
      result = listed;
      continue;
    }
    for (const FoundRecord& child : children) {
      std::string childPath = UniquePath(folderPath + "/" + SafeRecordName(child));
      result = RecoverOne(child, childPath);
      if (result == kCancelled) return kCancelled;
      if (child.isFolder && result == kOk) queue.push_back({child, {childPath, folderDepth + 1}});
    }
  }
  return result;
}

int StoreEngine::ExtractForPreview(const FoundRecord* record, std::string& path, uint8_t* memory,
                                   uint32_t& size, ExtractProgressFn callback, void* userData) {
  if (!record) {
    if (callback) callback(userData, 100, kInvalidParameter);
    return kInvalidParameter;
  }
  std::string name(record->name, RecordNameLength(record->name));
  std::string folder = SafePreviewFolder(source_.Path());
  std::string target;
  switch (folder.empty() ? PreviewRoute::kMemory : RoutePreview(name)) {
    case PreviewRoute::kDocument:
      target = folder + "/" + SafeFileName(name);
      break;
    case PreviewRoute::kMedia:
      target = folder + "/tmp.avi";
      break;
    case PreviewRoute::kImage:
      target = folder + "/tmp.jpg";
      break;
    case PreviewRoute::kMemory:
      break;
  }
  if (target.size() >= 260 + folder.size()) target.clear();
  PreviewSink sink(record->fileSize, target.empty(), memory, size, callback, userData);
  int result = kOk;
  if (!target.empty()) {
    path = target;
    result = CreateFolders(folder);
    if (result == kOk) result = sink.OpenFile(target);
  }
  if (result == kOk) result = CopyFileData(*record, sink);
  if (result == kOk && sink.Written() == 0) sink.ReportDone();
  if (result > 0) sink.ReportFailure(result);
  sink.Finish(result);
  if (result != kOk && !target.empty()) path.clear();
  size = sink.BytesInMemory();
  return result;
}

}  // namespace salvora
