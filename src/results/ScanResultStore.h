#pragma once
// The on-disk store of one engine's findings: a data file of FoundRecords,
// a relation file giving each folder key's children, and a folder file of
// FolderInfo entries. Records are appended in batches of 200; listings read
// them back by record number, so listing a folder costs one read per child.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "results/FoundRecord.h"
#include "results/ListProgress.h"
#include "results/RecordVisitor.h"
#include "results/RelationFile.h"

namespace salvora {

constexpr size_t kStoreBufferBytes = 69200;  // exactly 200 records

class ScanResultStore {
 public:
  ScanResultStore() = default;
  ScanResultStore(const ScanResultStore&) = delete;
  ScanResultStore& operator=(const ScanResultStore&) = delete;
  ~ScanResultStore();

  // Opens (or creates) the store `name` in `folder`, creating the folder
  // when missing, and reads back an existing relation and folder file.
  int OpenStore(const std::string& folder, const std::string& name);
  // The next zero-filled record slot; the new record count is its number.
  FoundRecord* AppendRecord();
  // Files record `recordNo` under key parentCluster | parentDepth << 32; a
  // folder also passes its name, which enters the folder list.
  void AddRelation(uint32_t parentCluster, uint32_t parentDepth, uint32_t recordNo,
                   uint32_t firstCluster, const char* folderName);
  int Flush();
  // Children of a folder key (0: the smallest key), sorted. Image files that
  // failed their content check are listed too, marked by their contentOk.
  int ListChildren(uint64_t key, std::vector<FoundRecord>& out);
  // The same children one at a time, in the order they were filed.
  int VisitChildren(uint64_t key, const RecordVisitor& visit);
  // Files in the whole subtree of a key, breadth-first.
  int CountFiles(uint64_t key, uint32_t& count);
  // Ancestor folders of a record, nearest first. Ends on a cycle.
  int CollectAncestors(const FoundRecord& record, std::vector<FoundRecord>& out);
  // Folder names from the root down to the record's parent, each followed by
  // '/'; empty for a record at the top.
  int RecordPath(const FoundRecord& record, std::string& out);
  // Records whose names the type filter takes; 1 when the data file could be
  // read, else 0.
  int ListByTypes(const std::string& filter, std::vector<FoundRecord>& out);
  // The same records one at a time, in the order they were stored.
  int VisitByTypes(const std::string& filter, const RecordVisitor& visit);
  void CloseStore();

  // Reads record n (1-based); a result code.
  int ReadRecord(uint32_t recordNo, FoundRecord& out);
  // Depth of a folder record as the store files it: one below the key that
  // lists it. False when no key lists the record.
  bool FolderDepthOf(const FoundRecord& folder, uint32_t& depth);

  uint32_t GetRecordCount() const { return recordCount_; }
  uint64_t BytesAppended() const { return bytesAppended_; }
  bool IsOpen() const { return data_ >= 0; }
  const std::string& DataPath() const { return dataPath_; }
  void SetListCallback(ListProgressFn fn, void* userData) {
    listCallback_ = fn;
    listUserData_ = userData;
  }

 private:
  int WritePending();
  void LoadRelationFile();
  void LoadFolderFile();
  void BuildIndexes();
  bool FindParentKey(uint32_t recordNo, uint64_t& key);
  bool FindFolderRecord(uint32_t cluster, uint32_t exceptRecordNo, FoundRecord& out);

  int data_ = -1;
  int relation_ = -1;
  int folders_ = -1;
  std::string dataPath_, relationPath_, folderPath_;
  std::vector<unsigned char> buffer_;
  size_t pendingBytes_ = 0;
  uint32_t recordCount_ = 0;
  uint64_t bytesAppended_ = 0;
  uint64_t recordsOnDisk_ = 0;
  RelationMap relations_;
  // Listings flush before every read; the companion files are rewritten
  // only when relations changed since the last flush.
  bool relationsDirty_ = false;
  std::vector<FolderInfo> folderList_;
  // Built on demand and kept current as relations are added: by record
  // number, the first key listing it (record numbers are dense, so a store
  // of a million records costs 8 MB, not a hash map's 32), and folder
  // cluster -> first folder-list entry.
  static constexpr uint64_t kNoParent = ~uint64_t{0};
  std::vector<uint64_t> parentIndex_;
  std::unordered_map<uint32_t, size_t> folderIndex_;
  std::unordered_set<uint32_t> folderMisses_;  // clusters no folder record has
  uint64_t missesCheckedUpTo_ = 0;             // records on disk when they were sought
  // Paths of folders that files were listed in, by folder key, as they
  // were when `changes_` (counting every record and relation added) was
  // `pathsKeptAt_`.
  std::unordered_map<uint64_t, std::string> folderPaths_;
  uint64_t changes_ = 0;
  uint64_t pathsKeptAt_ = 0;
  ListProgressFn listCallback_ = nullptr;
  void* listUserData_ = nullptr;
};

// The listing order: files before folders, then names compared byte by byte
// with A-Z folded to a-z.
bool RecordOrder(const FoundRecord& a, const FoundRecord& b);
void SortRecords(std::vector<FoundRecord>& records);

}  // namespace salvora
