// The copying side of the deep NTFS engine: a found file's data is read
// through its FILE record, located by the record's entry sector, with the
// cluster size and volume start that the sweep worked out for it.
#include <algorithm>
#include <cstring>

#include "carving/ContentCheck.h"
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

// Streams the clusters of one run (zeros for a sparse run) into the sink.
int CopyRun(SectorSource& source, const PlacedRun& run, const NtfsGeometry& geometry,
            std::vector<uint8_t>& buffer, DataSink& sink) {
  const uint64_t sectorBytes = static_cast<uint64_t>(geometry.bytesPerSector);
  const uint64_t perCluster = static_cast<uint64_t>(geometry.sectorsPerCluster);
  uint64_t sectors, first;
  if (__builtin_mul_overflow(run.length, perCluster, &sectors) ||
      __builtin_mul_overflow(run.lcn, perCluster, &first) ||
      __builtin_add_overflow(first, geometry.partitionStart, &first))
    return kInvalidParameter;
  const uint64_t chunkSectors = buffer.size() / sectorBytes;
  for (uint64_t done = 0; done < sectors && !sink.Full();) {
    uint32_t count = static_cast<uint32_t>(std::min(chunkSectors, sectors - done));
    uint32_t read = count;
    if (run.sparse) {
      std::memset(buffer.data(), 0, count * sectorBytes);
    } else {
      int result = source.ReadSectors(static_cast<int32_t>(count), buffer.data(), first + done,
                                      geometry.bytesPerSector, read);
      if (read == 0) return result != kOk ? result : kReadFault;
    }
    int written = sink.Write(buffer.data(), read * sectorBytes);
    if (written != kOk) return written;
    done += read;
  }
  return kOk;
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
  NtfsReader reader(source_, geometry);
  std::vector<uint8_t> buffer(kTransferChunkBytes, 0);
  uint32_t length = 0;
  int result = reader.ReadResidentData(record.entrySector, buffer.data(),
                                       static_cast<uint32_t>(buffer.size()), length);
  if (result == kOk) return sink.Write(buffer.data(), length);
  if (result != kDataNotResident) return result;
  RunList runs;
  result = reader.ReadAttributeRuns(record.entrySector, kAttrData, runs);
  if (result != kOk || record.fileSize == 0) return result;
  RunCursor cursor(runs);
  PlacedRun run;
  while (!sink.Full() && cursor.Next(run)) {
    result = CopyRun(source_, run, geometry, buffer, sink);
    if (result != kOk) return result;
  }
  return cursor.Broken() && !sink.Full() ? kInvalidParameter : kOk;
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
