// The first pass of the quick scan: the MFT read front to back in large
// chunks straight from its runs, every deleted file record taken as a
// found file with its folder chain.
#include <algorithm>
#include <cstring>
#include <vector>

#include "carving/ContentCheck.h"
#include "carving/SignatureTable.h"
#include "ntfs/FastNtfsRecovery.h"
#include "ntfs/NtfsRunList.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "storage/LittleEndian.h"

namespace salvora {
namespace {

constexpr uint64_t kEstimateIntervalMs = 5000;

// Text after the last '.', or empty.
std::string ExtensionOf(const char* name) {
  const char* dot = std::strrchr(name, '.');
  return dot && dot[1] ? std::string(dot + 1) : std::string();
}

}  // namespace

int CFastNtfsRecovery::ScanMft() {
  const uint64_t perCluster = static_cast<uint64_t>(geometry_.sectorsPerCluster);
  uint64_t total = 0;
  for (const DataRun& run : geometry_.mftRuns) total += run.length * perCluster;
  uint64_t done = 0;
  uint64_t startMs = SteadyMilliseconds();
  uint64_t lastEstimateMs = startMs;
  int32_t secondsLeft = -1;
  RunCursor cursor(geometry_.mftRuns);
  PlacedRun run;
  while (cursor.Next(run)) {
    int result = ScanMftRun(run, done, total, startMs, lastEstimateMs, secondsLeft);
    if (result != kOk) return result;
  }
  return kOk;
}

int CFastNtfsRecovery::ScanMftRun(const PlacedRun& run, uint64_t& done, uint64_t total,
                                  uint64_t startMs, uint64_t& lastEstimateMs,
                                  int32_t& secondsLeft) {
  const uint64_t perCluster = static_cast<uint64_t>(geometry_.sectorsPerCluster);
  const uint64_t perRecord = static_cast<uint64_t>(geometry_.sectorsPerRecord);
  const uint64_t sectorBytes = static_cast<uint64_t>(geometry_.bytesPerSector);
  const uint64_t chunkSectors = chunk_.size() / sectorBytes;
  if (run.sparse || chunkSectors == 0 || run.length > UINT64_MAX / perCluster / perRecord ||
      run.lcn > UINT64_MAX / perCluster / 2)
    return kOk;
  // A damaged run that reaches past the volume is read up to its end; the
  // records before it still count.
  const uint64_t position = geometry_.partitionStart + run.lcn * perCluster;
  const uint64_t volumeEnd =
      geometry_.totalSectors ? geometry_.partitionStart + geometry_.totalSectors : UINT64_MAX;
  if (position >= volumeEnd) return kOk;
  const uint64_t runSectors = std::min(run.length * perCluster, volumeEnd - position);
  // Records never straddle runs on a sane volume; a run that starts inside
  // a record begins with the next whole one.
  const uint64_t virtualStart = run.vcn * perCluster;
  uint64_t offset = (perRecord - virtualStart % perRecord) % perRecord;
  // Records passed over after a failed read; it doubles while reads keep
  // failing, so that a dead stretch of disk costs few reads, not one per
  // record.
  uint64_t skip = perRecord;
  while (offset < runSectors) {
    uint64_t sectors = std::min(runSectors - offset, chunkSectors);
    uint32_t got = 0;
    int result = source_.ReadSectors(static_cast<int32_t>(sectors), chunk_.data(),
                                     position + offset, geometry_.bytesPerSector, got);
    for (uint64_t i = 0; i + perRecord <= got; i += perRecord) {
      uint64_t recordNumber = (virtualStart + offset + i) / perRecord;
      TakeCandidate(chunk_.data() + i * sectorBytes, recordNumber, position + offset + i);
    }
    if (result != kOk) {
      // The records the disk gave are kept; the pass goes on after the one
      // it would not give.
      sectors = std::min<uint64_t>(sectors, got / perRecord * perRecord + skip);
      skip = std::min<uint64_t>(skip * 2, chunkSectors);
    } else {
      skip = perRecord;
    }
    offset += sectors;
    done += sectors;

    uint64_t now = SteadyMilliseconds();
    if (now - lastEstimateMs >= kEstimateIntervalMs && percentScale_ == 100 && total > 0) {
      lastEstimateMs = now;
      uint64_t seconds = (now - startMs) / 1000;
      uint64_t speed = seconds ? done * sectorBytes / seconds : 0;
      if (speed == 0) speed = 1;
      secondsLeft = static_cast<int32_t>(
          std::min<uint64_t>((total - std::min(done, total)) * sectorBytes / speed, INT32_MAX));
    }
    int32_t percent = total ? static_cast<int32_t>(std::min(done, total) * 100 / total) : 0;
    result = ReportScan(percent, secondsLeft, 0, 0, 0);
    if (result != 0) return result;
  }
  return kOk;
}

// Only records that are neither in use nor directories are deleted files;
// deleted directories appear as folders of the files below them.
void CFastNtfsRecovery::TakeCandidate(uint8_t* record, uint64_t recordNumber, uint64_t sector) {
  const size_t bytes = static_cast<size_t>(geometry_.recordBytes);
  if (!HasFileSignature(record, bytes) || Le16(record + 0x16) != 0) return;
  if (recordNumber < kFirstUserRecord || recordNumber > UINT32_MAX) return;
  if (ApplyFixup(record, bytes) != kOk) return;
  FoundRecord found;
  uint32_t parent = 0;
  if (!FillFromRecord(record, static_cast<uint32_t>(recordNumber), sector, false, found, parent))
    return;
  uint64_t key = ParentKey(parent);
  found.contentOk = static_cast<uint32_t>(HeaderCheck(found, record));
  FoundRecord* slot = store_.AppendRecord();
  if (!slot) return;
  found.recordNo = store_.GetRecordCount();
  *slot = found;
  store_.AddRelation(static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32), found.recordNo,
                     found.firstCluster, nullptr);
}

bool CFastNtfsRecovery::FillFromRecord(const uint8_t* record, uint32_t recordNumber,
                                       uint64_t sector, bool isFolder, FoundRecord& found,
                                       uint32_t& parent) {
  const size_t bytes = static_cast<size_t>(geometry_.recordBytes);
  FileName first;
  FileName chosen;
  bool named = false;
  bool sized = false;
  bool listed = false;
  uint64_t dataSize = 0;
  AttributeWalk walk(record, bytes);
  Attribute attribute;
  while (walk.Next(attribute)) {
    FileName name;
    if (attribute.type == kAttrFileName && ParseFileName(attribute, name)) {
      if (!named) first = chosen = name;
      // A short DOS alias gives way to the long name that follows it.
      else if (name.nameSpace == kNameWin32 || chosen.nameSpace == kNameDos)
        chosen = name;
      named = true;
    } else if (attribute.IsUnnamedData() && !sized) {
      if (!attribute.nonResident) {
        dataSize = attribute.valueLength, sized = true;
      } else if (attribute.lowestVcn == 0) {
        dataSize = attribute.realSize, sized = true;
      }
    } else if (attribute.type == kAttrAttributeList) {
      listed = true;
    }
  }
  if (!named) return false;
  // Sizes of a $DATA kept in extension records come from its first piece.
  if (!sized && listed && !isFolder) sized = reader_.ReadDataSize(sector, dataSize) == kOk;

  std::memset(&found, 0, sizeof found);
  found.sourceTag = sourceTag_;
  found.engineKind = kQuickNtfs;
  found.isFolder = isFolder ? 1 : 0;
  found.contentOk = 1;
  found.firstCluster = recordNumber;
  found.clusterBytes = static_cast<uint32_t>(geometry_.ClusterBytes());
  found.createTime = first.createTime;
  found.accessTime = first.accessTime;
  found.writeTime = first.writeTime;
  found.fileSize = sized ? dataSize : first.realSize;
  found.entrySector = sector;
  found.volumeFirstSector = geometry_.partitionStart;
  std::string utf8 = Utf16LeToUtf8(chosen.name, chosen.nameUnits);
  SetRecordName(found.name, utf8.data(), utf8.size());
  parent = first.parentRecord;
  return true;
}

// 1 when the file's first bytes may be what its extension says (or the
// check cannot tell), 0 when they are not.
int CFastNtfsRecovery::HeaderCheck(const FoundRecord& found, const uint8_t* record) {
  const size_t bytes = static_cast<size_t>(geometry_.recordBytes);
  std::string extension = ExtensionOf(found.name);
  // Content can only contradict an extension that the signatures know; for
  // any other the disk is not asked.
  bool checkable = !extension.empty() && FirstRowOfExtension(extension.c_str());
  Attribute data;
  bool inBase = FindAttribute(record, bytes, kAttrData, data);
  if (inBase && !data.nonResident) {
    if (data.valueLength == 0) return 0;
    if (!checkable) return 1;
    return MatchesExtension(data.value, data.valueLength, extension.c_str(), source_,
                            geometry_.bytesPerSector, found.entrySector)
               ? 1
               : 0;
  }
  if (!checkable) return 1;
  RunList runs;
  DataAttributeInfo info;
  if (inBase && data.lowestVcn == 0) {
    info = DescribeData(data);
    DecodeRunList(data, runs);
  } else if (reader_.ReadAttributeRuns(found.entrySector, kAttrData, runs, &info) != kOk) {
    return 1;
  }
  // Compressed or encrypted clusters never show a plain header.
  if (info.flags & (kAttrFlagCompressed | kAttrFlagEncrypted)) return 1;
  RunCursor cursor(runs);
  PlacedRun run;
  if (!cursor.Next(run) || run.sparse) return 1;
  const uint64_t perCluster = static_cast<uint64_t>(geometry_.sectorsPerCluster);
  if (run.lcn > (UINT64_MAX - geometry_.partitionStart) / perCluster) return 1;
  uint64_t sector = geometry_.partitionStart + run.lcn * perCluster;
  if (sector == 0) return 1;
  std::vector<uint8_t> first(static_cast<size_t>(geometry_.bytesPerSector));
  uint32_t got = 0;
  if (source_.ReadSectors(1, first.data(), sector, geometry_.bytesPerSector, got) != kOk ||
      got != 1)
    return 1;
  return MatchesExtension(first.data(), static_cast<uint32_t>(first.size()), extension.c_str(),
                          source_, geometry_.bytesPerSector, sector)
             ? 1
             : 0;
}

}  // namespace salvora
