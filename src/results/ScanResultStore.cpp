#include "results/ScanResultStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <unordered_set>

#include "platform/ErrorCodes.h"
#include "platform/OutputFile.h"
#include "results/ListingOrder.h"
#include "results/TypeGroups.h"

namespace salvora {
namespace {

constexpr size_t kRecordBytes = sizeof(FoundRecord);
constexpr size_t kRecordsPerChunk = kStoreBufferBytes / kRecordBytes;

int OpenReadWrite(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

bool ReadWhole(int fd, std::string& out) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  out.resize(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  return true;
}

bool WriteAt(int fd, const void* data, size_t length, uint64_t offset) {
  const char* bytes = static_cast<const char*>(data);
  while (length > 0) {
    ssize_t n = ::pwrite(fd, bytes, length, static_cast<off_t>(offset));
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return false;
    }
    bytes += n;
    length -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace

ScanResultStore::~ScanResultStore() { CloseStore(); }

int ScanResultStore::OpenStore(const std::string& folder, const std::string& name) {
  CloseStore();
  int result = CreateFolders(folder);
  if (result != kOk) return result;
  std::string base = folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
  dataPath_ = base;
  relationPath_ = base + "_Relation";
  folderPath_ = base + "_DirInfo";
  data_ = OpenReadWrite(dataPath_);
  if (data_ < 0) return ErrnoToCode(errno, IoDirection::kWrite);
  relation_ = OpenReadWrite(relationPath_);
  struct stat st {};
  if (relation_ < 0 || ::fstat(data_, &st) != 0) {
    int code = ErrnoToCode(errno, IoDirection::kWrite);
    CloseStore();
    return code;
  }
  // A torn last record of a crashed scan is not a record.
  recordsOnDisk_ = static_cast<uint64_t>(st.st_size) / kRecordBytes;
  LoadRelationFile();
  buffer_.assign(kStoreBufferBytes, 0);
  folders_ = OpenReadWrite(folderPath_);
  if (folders_ >= 0) LoadFolderFile();
  // A reopened store (a resumed scan) goes on numbering after its records,
  // so new records never take the numbers of old ones.
  recordCount_ = static_cast<uint32_t>(recordsOnDisk_);
  bytesAppended_ = 0;
  return kOk;
}

void ScanResultStore::LoadRelationFile() {
  std::string text;
  if (ReadWhole(relation_, text)) ParseRelationText(text.data(), text.size(), relations_);
}

void ScanResultStore::LoadFolderFile() {
  std::string bytes;
  if (!ReadWhole(folders_, bytes)) return;
  for (size_t at = 0; at + sizeof(FolderInfo) <= bytes.size(); at += sizeof(FolderInfo)) {
    FolderInfo info;
    std::memcpy(&info, bytes.data() + at, sizeof info);
    info.name[kRecordNameBytes - 1] = '\0';
    folderList_.push_back(info);
  }
}

FoundRecord* ScanResultStore::AppendRecord() {
  if (!IsOpen()) return nullptr;
  if (pendingBytes_ + kRecordBytes > kStoreBufferBytes) WritePending();
  auto* slot = reinterpret_cast<FoundRecord*>(buffer_.data() + pendingBytes_);
  std::memset(slot, 0, kRecordBytes);
  pendingBytes_ += kRecordBytes;
  ++recordCount_;
  ++changes_;
  bytesAppended_ += kRecordBytes;
  return slot;
}

int ScanResultStore::WritePending() {
  if (pendingBytes_ == 0) return kOk;
  bool ok = WriteAt(data_, buffer_.data(), pendingBytes_, recordsOnDisk_ * kRecordBytes);
  int code = ok ? kOk : ErrnoToCode(errno, IoDirection::kWrite);
  // Records that could not be written are dropped rather than retried
  // forever; the flush that follows reports the failure.
  if (ok) recordsOnDisk_ += pendingBytes_ / kRecordBytes;
  pendingBytes_ = 0;
  return code;
}

void ScanResultStore::AddRelation(uint32_t parentCluster, uint32_t parentDepth, uint32_t recordNo,
                                  uint32_t firstCluster, const char* folderName) {
  uint64_t key = FolderKey(parentCluster, parentDepth);
  relations_[key].push_back(recordNo);
  relationsDirty_ = true;
  ++changes_;
  // Keep built indexes current: a record's parent is the smallest key that
  // lists it.
  if (!parentIndex_.empty() && recordNo <= recordCount_) {
    if (recordNo >= parentIndex_.size()) parentIndex_.resize(size_t{recordNo} + 1, kNoParent);
    uint64_t& known = parentIndex_[recordNo];
    if (known == kNoParent || key < known) known = key;
  }
  if (folderName) {
    FolderInfo info{};
    info.folderCluster = firstCluster;
    info.recordNo = recordNo;
    SetRecordName(info.name, folderName);
    folderList_.push_back(info);
    if (!folderIndex_.empty()) folderIndex_.emplace(firstCluster, folderList_.size() - 1);
  }
}

int ScanResultStore::Flush() {
  if (!IsOpen()) return kInvalidParameter;
  int dataResult = WritePending();
  if (dataResult != kOk) return dataResult;
  if (!relationsDirty_) return kOk;
  relationsDirty_ = false;
  std::string text;
  for (const auto& [key, children] : relations_) text += FormatRelationItem(key, children);
  if (WriteAt(relation_, text.data(), text.size(), 0)) {
    [[maybe_unused]] int ignored = ::ftruncate(relation_, static_cast<off_t>(text.size()));
  }
  // The folder list is written whole, in one write: a volume has thousands.
  if (folders_ >= 0 && !folderList_.empty() &&
      !WriteAt(folders_, folderList_.data(), folderList_.size() * sizeof(FolderInfo), 0))
    return ErrnoToCode(errno, IoDirection::kWrite);
  return kOk;
}

int ScanResultStore::ReadRecord(uint32_t recordNo, FoundRecord& out) {
  if (!IsOpen() || recordNo == 0 || recordNo > recordsOnDisk_) return kInvalidParameter;
  uint64_t offset = static_cast<uint64_t>(recordNo - 1) * kRecordBytes;
  ssize_t n = ::pread(data_, &out, kRecordBytes, static_cast<off_t>(offset));
  if (n < 0) return ErrnoToCode(errno);
  if (static_cast<size_t>(n) != kRecordBytes) return kReadFault;
  out.name[kRecordNameBytes - 1] = '\0';
  return kOk;
}

int ScanResultStore::VisitChildren(uint64_t key, const RecordVisitor& visit) {
  if (relations_.empty()) return kOk;
  auto it = key == 0 ? relations_.begin() : relations_.find(key);
  if (it == relations_.end()) return kOk;
  for (uint32_t child : it->second) {
    FoundRecord record;
    // Children that point outside the data file come from a damaged store.
    if (child == 0 || child > recordsOnDisk_) continue;
    int result = ReadRecord(child, record);
    if (result != kOk) return result;
    // A picture whose first cluster does not look like one is still listed
    // (marked by its contentOk); it may be whole further on, and a user
    // cannot try a file that is not shown.
    visit(record);
  }
  return kOk;
}

int ScanResultStore::ListChildren(uint64_t key, std::vector<FoundRecord>& out) {
  auto it = key == 0 ? relations_.begin() : relations_.find(key);
  // A folder of a million files is one block of records, not one grown by
  // doubling (which for a moment holds half as much again).
  if (it != relations_.end())
    out.reserve(out.size() + std::min<size_t>(it->second.size(), recordsOnDisk_));
  int result = VisitChildren(key, [&](const FoundRecord& record) { out.push_back(record); });
  if (result == kOk) SortRecords(out);
  return result;
}

int ScanResultStore::CountFiles(uint64_t key, uint32_t& count) {
  count = 0;
  if (relations_.empty()) return kOk;
  std::deque<uint64_t> queue{key == 0 ? relations_.begin()->first : key};
  std::unordered_set<uint64_t> seen{queue.front()};
  while (!queue.empty()) {
    uint64_t current = queue.front();
    queue.pop_front();
    auto it = relations_.find(current);
    if (it == relations_.end()) continue;
    uint32_t childDepth = static_cast<uint32_t>(current >> 32) + 1;
    for (uint32_t child : it->second) {
      FoundRecord record;
      if (child == 0 || child > recordsOnDisk_) continue;
      int result = ReadRecord(child, record);
      if (result != kOk) return result;
      if (!record.isFolder) {
        ++count;
      } else {
        uint64_t childKey = FolderKey(record.firstCluster, childDepth);
        if (seen.insert(childKey).second) queue.push_back(childKey);
      }
    }
  }
  return kOk;
}

void ScanResultStore::BuildIndexes() {
  if (parentIndex_.empty()) {
    // Keys come in ascending order: the first to list a record is its parent.
    parentIndex_.assign(size_t{recordCount_} + 1, kNoParent);
    for (const auto& [key, children] : relations_)
      for (uint32_t child : children)
        if (child <= recordCount_ && parentIndex_[child] == kNoParent) parentIndex_[child] = key;
  }
  if (folderIndex_.empty()) {
    for (size_t i = 0; i < folderList_.size(); ++i)
      folderIndex_.emplace(folderList_[i].folderCluster, i);
  }
}

bool ScanResultStore::FindParentKey(uint32_t recordNo, uint64_t& key) {
  BuildIndexes();
  if (recordNo >= parentIndex_.size() || parentIndex_[recordNo] == kNoParent) return false;
  key = parentIndex_[recordNo];
  return true;
}

// A cluster that names no folder record is remembered until more records
// reach the disk: every path through such a folder (the root, above all)
// would otherwise read the whole data file again.
bool ScanResultStore::FindFolderRecord(uint32_t cluster, uint32_t exceptRecordNo,
                                       FoundRecord& out) {
  if (missesCheckedUpTo_ != recordsOnDisk_) {
    folderMisses_.clear();
    missesCheckedUpTo_ = recordsOnDisk_;
  }
  if (folderMisses_.count(cluster)) return false;
  std::vector<unsigned char> chunk(kStoreBufferBytes);
  for (uint64_t first = 0; first < recordsOnDisk_; first += kRecordsPerChunk) {
    size_t count =
        static_cast<size_t>(std::min<uint64_t>(kRecordsPerChunk, recordsOnDisk_ - first));
    ssize_t n = ::pread(data_, chunk.data(), count * kRecordBytes,
                        static_cast<off_t>(first * kRecordBytes));
    if (n <= 0) return false;
    for (size_t i = 0; i < static_cast<size_t>(n) / kRecordBytes; ++i) {
      FoundRecord record;
      std::memcpy(&record, chunk.data() + i * kRecordBytes, kRecordBytes);
      if (record.isFolder && record.firstCluster == cluster) {
        if (record.recordNo == exceptRecordNo) return false;
        record.name[kRecordNameBytes - 1] = '\0';
        out = record;
        return true;
      }
    }
  }
  folderMisses_.insert(cluster);
  return false;
}

namespace {

// Whether `recordNo` is `start` or already in the chain from `from` on. A
// listing asks this for every folder above every file, and chains are
// short: they are searched, and only a long one is kept in a set.
bool AlreadyMet(uint32_t recordNo, uint32_t start, const std::vector<FoundRecord>& chain,
                size_t from, std::unordered_set<uint32_t>& met) {
  constexpr size_t kShortChain = 32;
  if (recordNo == start) return true;
  if (chain.size() - from < kShortChain) {
    for (size_t i = from; i < chain.size(); ++i)
      if (chain[i].recordNo == recordNo) return true;
    return false;
  }
  if (met.empty()) {
    met.insert(start);
    for (size_t i = from; i < chain.size(); ++i) {
      uint32_t number = chain[i].recordNo;  // a packed field, copied before use
      met.insert(number);
    }
  }
  return !met.insert(recordNo).second;
}

}  // namespace

int ScanResultStore::CollectAncestors(const FoundRecord& record, std::vector<FoundRecord>& out) {
  if (!IsOpen()) return kInvalidParameter;
  const uint32_t start = record.recordNo;
  const size_t from = out.size();
  uint32_t current = start;
  std::unordered_set<uint32_t> met;
  for (;;) {
    uint64_t key = 0;
    // A key at depth 0 lists the root itself, which has no folder record.
    if (!FindParentKey(current, key) || (key >> 32) == 0) return kOk;
    uint32_t cluster = static_cast<uint32_t>(key);
    FoundRecord parent{};
    auto folder = folderIndex_.find(cluster);
    if (folder != folderIndex_.end()) {
      const FolderInfo& info = folderList_[folder->second];
      if (info.recordNo == current) return kOk;
      parent.isFolder = 1;
      parent.recordNo = info.recordNo;
      parent.firstCluster = cluster;
      SetRecordName(parent.name, info.name, RecordNameLength(info.name));
    } else if (!FindFolderRecord(cluster, current, parent)) {
      return kInvalidParameter;
    }
    // A parent chain that comes back to a record already met is a damaged
    // store: stop rather than walk for ever.
    uint32_t parentNo = parent.recordNo;
    if (AlreadyMet(parentNo, start, out, from, met)) return kOk;
    out.push_back(parent);
    current = parentNo;
  }
}

// A listing asks for the path of every file, and a folder holds many: a
// file's path is its folder's, kept by the folder's key until the store
// changes. A folder's own path is not kept, since the folder may lie on
// a loop of a damaged store that its files do not see.
int ScanResultStore::RecordPath(const FoundRecord& record, std::string& out) {
  out.clear();
  uint64_t key = 0;
  bool keep = !record.isFolder && FindParentKey(record.recordNo, key);
  if (keep) {
    if (pathsKeptAt_ != changes_) {
      folderPaths_.clear();
      pathsKeptAt_ = changes_;
    }
    auto kept = folderPaths_.find(key);
    if (kept != folderPaths_.end()) {
      out = kept->second;
      return kOk;
    }
  }
  std::vector<FoundRecord> ancestors;
  CollectAncestors(record, ancestors);
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
    out.append(it->name, RecordNameLength(it->name));
    out += '/';
  }
  if (keep) folderPaths_.emplace(key, out);
  return kOk;
}

bool ScanResultStore::FolderDepthOf(const FoundRecord& folder, uint32_t& depth) {
  uint64_t key = 0;
  if (!FindParentKey(folder.recordNo, key)) return false;
  depth = static_cast<uint32_t>(key >> 32) + 1;
  return true;
}

int ScanResultStore::VisitByTypes(const std::string& filter, const RecordVisitor& visit) {
  if (!IsOpen()) return 0;
  Flush();
  NameFilter takes(filter, filter.find(".other") != std::string::npos);
  int fd = ::open(dataPath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st {};
  ::fstat(fd, &st);
  uint64_t fileSize = static_cast<uint64_t>(st.st_size);
  std::vector<unsigned char> chunk(kStoreBufferBytes);
  uint64_t offset = 0;
  while (offset < fileSize) {
    ssize_t n = ::pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(offset));
    if (n <= 0) break;
    offset += static_cast<uint64_t>(n);
    for (size_t at = 0; at + kRecordBytes <= static_cast<size_t>(n); at += kRecordBytes) {
      FoundRecord record;
      std::memcpy(&record, chunk.data() + at, kRecordBytes);
      record.name[kRecordNameBytes - 1] = '\0';
      if (record.isFolder) continue;
      if (takes.Takes(std::string_view(record.name, RecordNameLength(record.name)))) visit(record);
    }
    if (listCallback_ &&
        listCallback_(listUserData_, static_cast<int32_t>(offset * 100 / fileSize), 0) != 0)
      break;
  }
  ::close(fd);
  return 1;
}

int ScanResultStore::ListByTypes(const std::string& filter, std::vector<FoundRecord>& out) {
  // Room for every record at once, so that a long listing is not copied
  // again each time it grows; pages no record fills are never touched.
  if (IsOpen()) out.reserve(out.size() + recordsOnDisk_ + pendingBytes_ / kRecordBytes);
  int result = VisitByTypes(filter, [&](const FoundRecord& record) { out.push_back(record); });
  SortRecords(out);
  return result;
}

void ScanResultStore::CloseStore() {
  if (IsOpen()) Flush();
  for (int* fd : {&data_, &relation_, &folders_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  buffer_.clear();
  buffer_.shrink_to_fit();
  pendingBytes_ = 0;
  recordsOnDisk_ = 0;
  relations_.clear();
  folderList_.clear();
  parentIndex_.clear();
  folderIndex_.clear();
  relationsDirty_ = false;
  folderMisses_.clear();
  ++changes_;
}

namespace {

std::string_view NameOf(const FoundRecord& record) {
  return std::string_view(record.name, RecordNameLength(record.name));
}

}  // namespace

bool RecordOrder(const FoundRecord& a, const FoundRecord& b) {
  if ((a.isFolder != 0) != (b.isFolder != 0)) return a.isFolder == 0;
  return NameBefore(NameOf(a), NameOf(b));
}

// Records are large: small keys are sorted, and each record then moved once.
void SortRecords(std::vector<FoundRecord>& records) {
  if (records.size() < 2) return;
  std::vector<uint32_t> order = ListingOrder(
      records.size(), [&](uint32_t i) { return NameOf(records[i]); },
      [&](uint32_t i) { return records[i].isFolder != 0; });
  MoveIntoOrder(std::move(order), [&](uint32_t i) -> FoundRecord& { return records[i]; });
}

}  // namespace salvora
