// The copying side of the deep NTFS engine: a found file's data is read
// through its FILE record, located by the record's entry sector, with the
// cluster size and volume start that the sweep worked out for it.
#include "carving/ContentCheck.h"
#include "ntfs/NtfsDataCopy.h"
#include "ntfs/NtfsReader.h"
#include "ntfs/NtfsRunList.h"
#include "ntfs/ProfessionalNtfsRecovery.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

std::string ExtensionOf(const FoundRecord& record) {
  std::string name(record.name, RecordNameLength(record.name));
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

}  // namespace

NtfsGeometry CProfessionalNtfsRecovery::GeometryOf(const FoundRecord& record) const {
  NtfsGeometry geometry;
  geometry.partitionStart = record.volumeFirstSector;
  geometry.totalSectors = sectorCount_;
  geometry.bytesPerSector = sectorSize_;
  geometry.recordBytes = recordBytes_;
  geometry.sectorsPerRecord = sectorsPerRecord_;
  geometry.sectorsPerCluster = static_cast<int32_t>(record.clusterBytes / sectorSize_);
  // Pieces named by an attribute list are found through the record's MFT.
  MftPlace place = mftMap_.Locate(record.entrySector, record.firstCluster, sectorsPerRecord_,
                                  geometry.sectorsPerCluster, firstSector_);
  if (place.known && place.volumeStart == record.volumeFirstSector) geometry.mftRuns = place.runs;
  return geometry;
}

int CProfessionalNtfsRecovery::ReadDataRuns(const FoundRecord& record, RunList& runs) {
  if (record.clusterBytes < static_cast<uint32_t>(sectorSize_) || record.clusterBytes == 0xFFFFFFFF)
    return kInvalidParameter;
  NtfsGeometry geometry = GeometryOf(record);
  return NtfsReader(source_, geometry).ReadAttributeRuns(record.entrySector, kAttrData, runs);
}

int CProfessionalNtfsRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  if (record.clusterBytes < static_cast<uint32_t>(sectorSize_) || record.clusterBytes == 0xFFFFFFFF)
    return kInvalidParameter;
  NtfsGeometry geometry = GeometryOf(record);
  ClusterPlacement placement{record.volumeFirstSector, record.clusterBytes, sectorSize_};
  return CopyRecordData(NtfsReader(source_, geometry), record.entrySector, placement, sink);
}

// Whether the first bytes of a found file carry the signature its name
// promises: resident data from the record in hand, else the first sector
// of its first run.
uint32_t CProfessionalNtfsRecovery::ContentCheck(const uint8_t* record, const FoundRecord& found) {
  std::string extension = ExtensionOf(found);
  Attribute data;
  if (!FindAttribute(record, recordBytes_, kAttrData, data)) return 1;
  if (!data.nonResident) {
    if (data.valueLength == 0) return 0;
    if (extension.empty()) return 1;
    return MatchesExtension(data.value, data.valueLength, extension.c_str(), source_, sectorSize_,
                            found.entrySector) != 0;
  }
  RunList runs;
  DecodeRunList(data, runs);
  RunCursor cursor(runs);
  PlacedRun run;
  if (extension.empty() || !cursor.Next(run) || run.sparse) return 1;
  uint64_t sector = run.lcn * (found.clusterBytes / sectorSize_) + found.volumeFirstSector;
  if (sector == 0) return 1;
  std::vector<uint8_t> first(sectorSize_, 0);
  uint32_t read = 0;
  if (source_.ReadSectors(1, first.data(), sector, sectorSize_, read) != kOk || read != 1) return 1;
  return MatchesExtension(first.data(), sectorSize_, extension.c_str(), source_, sectorSize_,
                          sector) != 0;
}

}  // namespace salvora
