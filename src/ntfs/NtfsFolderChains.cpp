// Folder chains of the quick scan: each deleted file's $FILE_NAME parents
// are followed up to the root, and after the MFT pass every folder met on
// the way is written once, as itself when its record still reads as a
// directory, or as "LostFolder<n>" under the root when it is gone.
#include <array>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "ntfs/FastNtfsRecovery.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// Real trees are far shallower; a longer chain is a hostile one.
constexpr uint32_t kMaxChainDepth = 4096;
// Parent facts kept between walks; dropped wholesale when full.
constexpr size_t kMaxCachedParents = 1u << 20;

}  // namespace

void CFastNtfsRecovery::NoteFolder(uint32_t recordNumber) {
  if (folderSeen_.insert(recordNumber).second) folderList_.push_back(recordNumber);
}

const CFastNtfsRecovery::ParentFacts& CFastNtfsRecovery::FactsOf(uint32_t recordNumber) {
  auto found = parentCache_.find(recordNumber);
  if (found != parentCache_.end()) return found->second;
  if (parentCache_.size() >= kMaxCachedParents) parentCache_.clear();
  ParentFacts facts;
  std::array<uint8_t, kMaxRecordBytes> record;
  if (reader_.ReadFileRecord(recordNumber, record.data()) == kOk) {
    facts.readable = true;
    facts.directory = (ReadRecordHeader(record.data()).flags & kRecordDirectory) != 0;
    Attribute attribute;
    FileName name;
    AttributeWalk walk(record.data(), static_cast<size_t>(geometry_.recordBytes));
    while (walk.Next(attribute)) {
      if (attribute.type == kAttrFileName && ParseFileName(attribute, name)) {
        facts.named = true;
        facts.parent = name.parentRecord;
        break;
      }
    }
  }
  return parentCache_.emplace(recordNumber, facts).first->second;
}

// The key of the folder that lists a record whose parent is `parent`: that
// parent's number with the count of folders between it and the root. The
// walk stops at the root, at a folder that cannot be read as a directory,
// and at a folder it has already passed.
uint64_t CFastNtfsRecovery::ParentKey(uint32_t parent) {
  uint32_t depth = 0;
  std::unordered_set<uint32_t> visited;
  uint32_t current = parent;
  while (current != kRootRecord && depth < kMaxChainDepth) {
    if (!visited.insert(current).second) break;
    NoteFolder(current);
    ++depth;
    const ParentFacts& facts = FactsOf(current);
    if (!facts.readable || !facts.directory || !facts.named) break;
    current = facts.parent;
  }
  return FolderKey(parent, depth);
}

int CFastNtfsRecovery::EmitFolders() {
  // Walks made here may add folders; they are emitted in turn.
  for (size_t i = 0; i < folderList_.size(); ++i) EmitFolder(folderList_[i]);
  return kOk;
}

void CFastNtfsRecovery::EmitFolder(uint32_t recordNumber) {
  std::array<uint8_t, kMaxRecordBytes> record;
  bool readable = reader_.ReadFileRecord(recordNumber, record.data()) == kOk;
  bool directory = readable && (ReadRecordHeader(record.data()).flags & kRecordDirectory);
  if (directory && recordNumber < kFirstUserRecord) return;
  FoundRecord found;
  uint32_t parent = 0;
  if (!directory || !FillFromRecord(record.data(), recordNumber,
                                    RecordToSector(geometry_, recordNumber), true, found, parent)) {
    EmitLostFolder(recordNumber);
    return;
  }
  uint64_t key = ParentKey(parent);
  FoundRecord* slot = store_.AppendRecord();
  if (!slot) return;
  found.recordNo = store_.GetRecordCount();
  *slot = found;
  store_.AddRelation(static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32), found.recordNo,
                     found.firstCluster, found.name);
}

void CFastNtfsRecovery::EmitLostFolder(uint32_t recordNumber) {
  FoundRecord* slot = store_.AppendRecord();
  if (!slot) return;
  slot->sourceTag = sourceTag_;
  slot->engineKind = kQuickNtfs;
  slot->isFolder = 1;
  slot->contentOk = 1;
  slot->recordNo = store_.GetRecordCount();
  slot->firstCluster = recordNumber;
  slot->clusterBytes = 0xFFFFFFFF;
  char name[32];
  std::snprintf(name, sizeof name, "LostFolder%u", recordNumber);
  SetRecordName(slot->name, name);
  store_.AddRelation(kRootRecord, 0, slot->recordNo, recordNumber, slot->name);
}

}  // namespace salvora
