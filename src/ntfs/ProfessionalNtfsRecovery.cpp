#include "ntfs/ProfessionalNtfsRecovery.h"

#include <cstring>

#include "ntfs/NtfsDeepGeometry.h"
#include "ntfs/NtfsReader.h"
#include "ntfs/NtfsRecord.h"
#include "ntfs/NtfsRunList.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"
#include "storage/EngineFactories.h"
#include "storage/LittleEndian.h"
#include "storage/VolumeClass.h"

namespace salvora {
namespace {

constexpr size_t kBootReadBytes = 4096;

bool IsMftName(const FileName& fileName) {
  static const char kName[] = "$MFT";
  if (fileName.nameUnits != 4) return false;
  for (int i = 0; i < 4; ++i) {
    uint16_t unit = Le16(fileName.name + 2 * i);
    uint16_t upper = unit >= 'a' && unit <= 'z' ? unit - 32 : unit;
    if (upper != static_cast<uint8_t>(kName[i])) return false;
  }
  return true;
}

}  // namespace

CProfessionalNtfsRecovery::CProfessionalNtfsRecovery()
    : record_(kMaxRecordBytes, 0), parent_(kMaxRecordBytes, 0) {}

int CProfessionalNtfsRecovery::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  return FinishOpen(OpenImageSource(imagePath, sourceTag));
}

int CProfessionalNtfsRecovery::OpenDisk(uint32_t diskNumber, uint64_t firstSector,
                                        uint64_t sectorCount, uint16_t sourceTag) {
  return FinishOpen(OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag));
}

int CProfessionalNtfsRecovery::FinishOpen(int sourceResult) {
  sectorsPerRecord_ = sectorSize_ == 512 ? 2 : 1;
  recordBytes_ = sectorSize_ * sectorsPerRecord_;
  if (recordBytes_ > kMaxRecordBytes) return kInvalidParameter;
  sectorsPerCluster_ = DefaultSectorsPerCluster(sectorSize_, sectorCount_);
  mftMap_.Clear();
  if (sourceResult != kOk) return sourceResult;
  opened_ = true;
  EnterBootVolumeMft();
  return kOk;
}

// A volume whose boot sector survived tells where its current MFT lies;
// its record 0 is entered like any record 0 met during the sweep.
void CProfessionalNtfsRecovery::EnterBootVolumeMft() {
  std::vector<uint8_t> boot(kBootReadBytes, 0);
  uint32_t got = 0;
  uint32_t count = static_cast<uint32_t>(kBootReadBytes / sectorSize_);
  ReadVolumeSectors(0, count, boot.data(), got);
  if (got == 0 || !IsNtfsBootSector(boot.data(), static_cast<size_t>(got) * sectorSize_)) return;
  uint64_t mftStart;
  if (__builtin_mul_overflow(static_cast<uint64_t>(boot[0x0D]), Le64(boot.data() + 0x30),
                             &mftStart) ||
      __builtin_add_overflow(mftStart, firstSector_, &mftStart))
    return;
  size_t length = 0;
  if (ReadRecordInto(mftStart, record_, length) && length >= static_cast<size_t>(recordBytes_) &&
      HasFileSignature(record_.data(), recordBytes_) &&
      ApplyFixup(record_.data(), recordBytes_) == kOk)
    EnterMftRecord(record_.data(), mftStart);
}

int CProfessionalNtfsRecovery::OpenResults(const char* savedNameOrNull) {
  pending_.clear();
  pendingNumbers_.clear();
  emittedFolders_.clear();
  bool resumed = savedNameOrNull && *savedNameOrNull;
  int result = resumed ? OpenStoreNamed(savedNameOrNull)
                       : OpenNewStoreNamed(FormatStoreName(kDeepNtfsStorePrefix,
                                                           static_cast<int64_t>(firstSector_)));
  if (result != kOk) return result;
  // A resumed scan already wrote some folders; they are not written twice.
  for (uint32_t n = 1; n <= store_.GetRecordCount(); ++n) {
    FoundRecord found;
    if (store_.ReadRecord(n, found) == kOk && found.isFolder)
      emittedFolders_.insert(uint32_t{found.firstCluster});
  }
  return kOk;
}

int CProfessionalNtfsRecovery::ProcessFileRecord(const uint8_t* record, size_t length,
                                                 uint64_t sector, int pass, uint32_t recordNumber) {
  if (!store_.IsOpen() || !record) return kInvalidParameter;
  size_t kept = length < record_.size() ? length : record_.size();
  std::memcpy(record_.data(), record, kept);
  std::memset(record_.data() + kept, 0, record_.size() - kept);
  if (pass != 0) return ProcessFolder(record_.data(), kept, sector, recordNumber);
  if (kept < static_cast<size_t>(recordBytes_) || !HasFileSignature(record_.data(), kept))
    return kNotFileRecord;
  RecordHeader header = ReadRecordHeader(record_.data());
  // Directories become folders through the files inside them.
  if (header.flags & kRecordDirectory) return kOk;
  if (header.bytesInUse > static_cast<uint32_t>(recordBytes_) ||
      header.firstAttribute > header.bytesInUse || ApplyFixup(record_.data(), recordBytes_) != kOk)
    return kInvalidParameter;
  if (header.recordNumber < kFirstUserRecord) {
    if (header.recordNumber == kMftRecord) EnterMftRecord(record_.data(), sector);
    return kOk;
  }
  return ProcessFile(record_.data(), sector, header.recordNumber);
}

// The $MFT's own record: its runs say where every other record of that
// volume lies.
void CProfessionalNtfsRecovery::EnterMftRecord(const uint8_t* record, uint64_t sector) {
  Attribute attribute;
  FileName fileName;
  if (!FindAttribute(record, recordBytes_, kAttrFileName, attribute) ||
      !ParseFileName(attribute, fileName) || !IsMftName(fileName))
    return;
  RunList runs;
  AttributeWalk walk(record, recordBytes_);
  while (walk.Next(attribute)) {
    // Runs behind an attribute list lie in other records; none are taken.
    if (attribute.type == kAttrAttributeList) return;
    if (attribute.IsUnnamedData() && attribute.nonResident) {
      DecodeRunList(attribute, runs);
      break;
    }
  }
  if (!runs.empty()) mftMap_.Enter(sector, runs);
}

int CProfessionalNtfsRecovery::ProcessFile(uint8_t* record, uint64_t sector, uint32_t number) {
  int32_t inferred = InferSectorsPerCluster(record, recordBytes_, sectorSize_);
  if (inferred != 0) sectorsPerCluster_ = inferred;
  MftPlace place =
      mftMap_.Locate(sector, number, sectorsPerRecord_, sectorsPerCluster_, firstSector_);
  FoundRecord* found = nullptr;
  uint32_t parent = 0;
  AttributeWalk walk(record, recordBytes_);
  Attribute attribute;
  FileName fileName;
  bool sized = false;
  bool listed = false;
  while (walk.Next(attribute)) {
    if (attribute.type == kAttrFileName && ParseFileName(attribute, fileName)) {
      if (!found) {
        found = AppendFound(fileName, number, sector, place, false);
        if (!found) return kNotEnoughMemory;
        parent = fileName.parentRecord;
      } else if (fileName.nameSpace == kNameWin32) {
        std::string name = Utf16LeToUtf8(fileName.name, fileName.nameUnits);
        SetRecordName(found->name, name.c_str(), name.size());
      }
    } else if (found && attribute.IsUnnamedData() && !sized) {
      // Only the first piece of a split $DATA states the size.
      if (!attribute.nonResident || attribute.lowestVcn == 0) {
        found->fileSize = attribute.nonResident ? attribute.realSize : attribute.valueLength;
        sized = true;
      }
    } else if (attribute.type == kAttrAttributeList) {
      listed = true;
    }
  }
  if (!found) return kOk;
  // The size in $FILE_NAME is stale; a $DATA kept in extension records
  // states the real one in its first piece.
  uint64_t listedSize = 0;
  if (!sized && listed &&
      NtfsReader(source_, GeometryOf(*found)).ReadDataSize(sector, listedSize) == kOk)
    found->fileSize = listedSize;
  found->contentOk = ContentCheck(record, *found);
  uint32_t recordNo = found->recordNo;
  uint64_t key = WalkParents(parent, place, sectorsPerCluster_);
  store_.AddRelation(static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32), recordNo, number,
                     nullptr);
  return kOk;
}

// A folder that files referenced. It is written as a folder when its
// record still is that folder, and as a lost folder otherwise, so every
// referenced folder appears exactly once and no file is left unreachable.
int CProfessionalNtfsRecovery::ProcessFolder(uint8_t* record, size_t length, uint64_t sector,
                                             uint32_t number) {
  if (!emittedFolders_.insert(number).second) return kOk;
  bool usable = length >= static_cast<size_t>(recordBytes_) && HasFileSignature(record, length);
  RecordHeader header;
  if (usable) {
    header = ReadRecordHeader(record);
    usable = (header.flags & kRecordDirectory) && header.recordNumber == number &&
             number >= kFirstUserRecord &&
             header.bytesInUse <= static_cast<uint32_t>(recordBytes_) &&
             header.firstAttribute <= header.bytesInUse && ApplyFixup(record, recordBytes_) == kOk;
  }
  Attribute attribute;
  FileName fileName;
  if (!usable || !FindAttribute(record, recordBytes_, kAttrFileName, attribute) ||
      !ParseFileName(attribute, fileName)) {
    AppendLostFolder(number);
    return usable ? kOk : kNotFileRecord;
  }
  int32_t inferred = InferSectorsPerCluster(record, recordBytes_, sectorSize_);
  if (inferred != 0) sectorsPerCluster_ = inferred;
  MftPlace place =
      mftMap_.Locate(sector, number, sectorsPerRecord_, sectorsPerCluster_, firstSector_);
  // The Win32 name, when there is one, is the name users know.
  AttributeWalk walk(record, recordBytes_);
  FileName named = fileName;
  while (walk.Next(attribute)) {
    FileName other;
    if (attribute.type == kAttrFileName && ParseFileName(attribute, other) &&
        other.nameSpace == kNameWin32)
      named = other;
  }
  FoundRecord* found = AppendFound(named, number, sector, place, true);
  if (!found) return kNotEnoughMemory;
  uint32_t recordNo = found->recordNo;
  std::string name(found->name, RecordNameLength(found->name));
  uint64_t key = WalkParents(fileName.parentRecord, place, sectorsPerCluster_);
  store_.AddRelation(static_cast<uint32_t>(key), static_cast<uint32_t>(key >> 32), recordNo, number,
                     name.c_str());
  return kOk;
}

FoundRecord* CProfessionalNtfsRecovery::AppendFound(const FileName& fileName, uint32_t number,
                                                    uint64_t sector, const MftPlace& place,
                                                    bool folder) {
  FoundRecord* found = store_.AppendRecord();
  if (!found) return nullptr;
  found->sourceTag = sourceTag_;
  found->engineKind = kDeepNtfs;
  found->isFolder = folder ? 1 : 0;
  found->contentOk = 1;
  found->recordNo = store_.GetRecordCount();
  found->firstCluster = number;
  found->clusterBytes = ClusterBytes();
  found->createTime = fileName.createTime;
  found->accessTime = fileName.accessTime;
  found->writeTime = fileName.writeTime;
  found->fileSize = fileName.realSize;
  found->entrySector = sector;
  found->volumeFirstSector = place.volumeStart;
  std::string name = Utf16LeToUtf8(fileName.name, fileName.nameUnits);
  SetRecordName(found->name, name.c_str(), name.size());
  return found;
}

void CProfessionalNtfsRecovery::AppendLostFolder(uint32_t number) {
  FoundRecord* found = store_.AppendRecord();
  if (!found) return;
  found->sourceTag = sourceTag_;
  found->engineKind = kDeepNtfs;
  found->isFolder = 1;
  found->contentOk = 1;
  found->recordNo = store_.GetRecordCount();
  found->firstCluster = number;
  found->clusterBytes = ClusterBytes();
  std::string name = "LostFolder" + std::to_string(number);
  SetRecordName(found->name, name.c_str());
  store_.AddRelation(kRootRecord, 0, found->recordNo, number, name.c_str());
}

uint32_t CProfessionalNtfsRecovery::ClusterBytes() const {
  return static_cast<uint32_t>(sectorSize_) * static_cast<uint32_t>(sectorsPerCluster_);
}

bool CProfessionalNtfsRecovery::ReadRecordInto(uint64_t sector, std::vector<uint8_t>& buffer,
                                               size_t& got) {
  uint32_t read = 0;
  got = 0;
  uint64_t available = source_.SectorCount() > sector ? source_.SectorCount() - sector : 0;
  uint64_t wanted = static_cast<uint64_t>(kMaxRecordBytes / sectorSize_);
  int count = static_cast<int>(available < wanted ? available : wanted);
  if (count == 0) return false;
  int result = source_.ReadSectors(count, buffer.data(), sector, sectorSize_, read);
  got = static_cast<size_t>(read) * sectorSize_;
  std::memset(buffer.data() + got, 0, buffer.size() - got);
  return (result == kOk || read > 0) && got > 0;
}

}  // namespace salvora
