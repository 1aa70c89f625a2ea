// The folder side of the deep NTFS engine: parent walks through the MFT a
// record belongs to, and the folders written after the sweep.
#include <unordered_set>

#include "ntfs/NtfsRecord.h"
#include "ntfs/ProfessionalNtfsRecovery.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// Deeper chains than this are loops through reused records.
constexpr uint32_t kMaxFolderDepth = 4096;

}  // namespace

// The folder key of a record whose parent is `parent`: the parent's number
// with the depth of the chain above it. Every folder met is remembered for
// the folder pass.
uint64_t CProfessionalNtfsRecovery::WalkParents(uint32_t parent, const MftPlace& place,
                                                int32_t sectorsPerCluster) {
  std::unordered_set<uint32_t> visited;
  uint32_t depth = 0;
  for (uint32_t current = parent; current != kRootRecord && depth < kMaxFolderDepth;) {
    if (!visited.insert(current).second) break;
    AddPending(current, sectorsPerCluster, place);
    ++depth;
    uint32_t next = 0;
    if (!ReadParentOf(current, place, sectorsPerCluster, next)) break;
    current = next;
  }
  return FolderKey(parent, depth);
}

// The parent of folder `number`, when its record still is that folder.
bool CProfessionalNtfsRecovery::ReadParentOf(uint32_t number, const MftPlace& place,
                                             int32_t sectorsPerCluster, uint32_t& parent) {
  uint64_t sector = 0;
  size_t got = 0;
  if (!LocateRecord(place, number, sectorsPerRecord_, sectorsPerCluster, sector) ||
      !ReadRecordInto(sector, parent_, got) || got < static_cast<size_t>(recordBytes_) ||
      !HasFileSignature(parent_.data(), got))
    return false;
  RecordHeader header = ReadRecordHeader(parent_.data());
  if (!(header.flags & kRecordDirectory) || header.recordNumber != number ||
      header.bytesInUse > static_cast<uint32_t>(recordBytes_) ||
      header.firstAttribute > header.bytesInUse || ApplyFixup(parent_.data(), recordBytes_) != kOk)
    return false;
  Attribute attribute;
  FileName fileName;
  if (!FindAttribute(parent_.data(), recordBytes_, kAttrFileName, attribute) ||
      !ParseFileName(attribute, fileName))
    return false;
  parent = fileName.parentRecord;
  return true;
}

void CProfessionalNtfsRecovery::AddPending(uint32_t number, int32_t sectorsPerCluster,
                                           const MftPlace& place) {
  if (emittedFolders_.count(number) || !pendingNumbers_.insert(number).second) return;
  pending_.push_back({number, sectorsPerCluster, place});
}

// Folders referenced while folders are written are written too; each
// number enters the list once, so the pass ends.
int CProfessionalNtfsRecovery::EmitPendingFolders() {
  if (!store_.IsOpen()) return kInvalidParameter;
  int result = kOk;
  std::vector<uint8_t> buffer(kMaxRecordBytes, 0);
  for (size_t i = 0; i < pending_.size(); ++i) {
    PendingFolder folder = pending_[i];
    uint64_t sector = 0;
    size_t got = 0;
    if (!LocateRecord(folder.place, folder.number, sectorsPerRecord_, folder.sectorsPerCluster,
                      sector) ||
        !ReadRecordInto(sector, buffer, got))
      got = 0;
    result = ProcessFileRecord(buffer.data(), got, sector, 1, folder.number);
  }
  pending_.clear();
  pendingNumbers_.clear();
  store_.Flush();
  return result;
}

}  // namespace salvora
