#include "ntfs/NtfsReader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "ntfs/NtfsRunList.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

using RecordBuffer = std::array<uint8_t, kMaxRecordBytes>;

bool UsableGeometry(const NtfsGeometry& g) {
  return g.bytesPerSector >= 512 && g.recordBytes >= g.bytesPerSector &&
         g.recordBytes <= kMaxRecordBytes && g.sectorsPerRecord > 0 &&
         g.sectorsPerRecord * g.bytesPerSector == g.recordBytes && g.sectorsPerCluster > 0;
}

}  // namespace

DataAttributeInfo DescribeData(const Attribute& data) {
  DataAttributeInfo info;
  info.resident = !data.nonResident;
  info.flags = data.flags;
  info.compressionUnit = data.compressionUnit;
  info.realSize = data.nonResident ? data.realSize : data.valueLength;
  return info;
}

int NtfsReader::ReadRecordAt(uint64_t sector, uint8_t* buffer) const {
  if (!UsableGeometry(geometry_)) return kInvalidParameter;
  uint32_t got = 0;
  int result = source_.ReadSectors(geometry_.sectorsPerRecord, buffer, sector,
                                   geometry_.bytesPerSector, got);
  if (result != kOk) return result;
  if (got != static_cast<uint32_t>(geometry_.sectorsPerRecord)) return kReadFault;
  size_t bytes = static_cast<size_t>(geometry_.recordBytes);
  if (!HasFileSignature(buffer, bytes) || ApplyFixup(buffer, bytes) != kOk) return kNotFileRecord;
  return kOk;
}

int NtfsReader::ReadFileRecord(uint64_t recordNumber, uint8_t* buffer) const {
  return ReadRecordAt(RecordToSector(geometry_, recordNumber), buffer);
}

int NtfsReader::ReadAttributeRuns(uint64_t sector, uint32_t type, RunList& runs,
                                  DataAttributeInfo* info) const {
  RecordBuffer record;
  int result = ReadRecordAt(sector, record.data());
  if (result != kOk) return result;
  const size_t bytes = static_cast<size_t>(geometry_.recordBytes);
  Attribute list;
  bool hasList = FindAttribute(record.data(), bytes, kAttrAttributeList, list);
  if (hasList) {
    result = GatherListedPieces(record.data(), list, type, runs, info);
    if (result != kAttributeNotFound) return result;
  }
  Attribute wanted;
  if (!FindAttribute(record.data(), bytes, type, wanted)) return kAttributeNotFound;
  if (info) *info = DescribeData(wanted);
  if (!wanted.nonResident) return kOk;
  // A list cut by a bad entry still gives the clusters before it; the copy
  // notices when they fall short of the file's size.
  DecodeRunList(wanted, runs);
  return kOk;
}

int NtfsReader::ReadResidentData(uint64_t sector, uint8_t* buffer, uint32_t capacity,
                                 uint32_t& length) const {
  RecordBuffer record;
  int result = ReadRecordAt(sector, record.data());
  if (result == kNotFileRecord) return kDataNotResident;
  if (result != kOk) return result;
  Attribute data;
  if (!FindAttribute(record.data(), static_cast<size_t>(geometry_.recordBytes), kAttrData, data) ||
      data.nonResident)
    return kDataNotResident;
  if (data.valueLength > capacity) return kInvalidParameter;
  std::memcpy(buffer, data.value, data.valueLength);
  length = data.valueLength;
  return kOk;
}

int NtfsReader::ReadDataSize(uint64_t sector, uint64_t& size) const {
  RunList runs;
  DataAttributeInfo info;
  int result = ReadAttributeRuns(sector, kAttrData, runs, &info);
  if (result == kAttributeNotFound) return kInvalidParameter;
  if (result != kOk) return result;
  size = info.realSize;
  return kOk;
}

int NtfsReader::ReadRunData(const RunList& runs, uint64_t size, uint64_t maxBytes,
                            std::vector<uint8_t>& out) const {
  out.clear();
  if (size > maxBytes || !UsableGeometry(geometry_)) return kInvalidParameter;
  out.resize(static_cast<size_t>(size));
  const uint64_t perCluster = static_cast<uint64_t>(geometry_.sectorsPerCluster);
  const uint64_t sectorBytes = static_cast<uint64_t>(geometry_.bytesPerSector);
  uint64_t done = 0;
  RunCursor cursor(runs);
  PlacedRun run;
  std::vector<uint8_t> chunk;
  while (done < size && cursor.Next(run)) {
    const uint64_t remaining = size - done;
    const uint64_t clusterBytes = geometry_.ClusterBytes();
    uint64_t runBytes =
        run.length > remaining / clusterBytes ? remaining : run.length * clusterBytes;
    if (run.sparse) {
      done += runBytes;  // already zero
      continue;
    }
    uint64_t sectors = (runBytes + sectorBytes - 1) / sectorBytes;
    chunk.resize(static_cast<size_t>(sectors * sectorBytes));
    uint64_t first = geometry_.partitionStart + run.lcn * perCluster;
    uint32_t got = 0;
    int result = source_.ReadSectors(static_cast<int32_t>(sectors), chunk.data(), first,
                                     geometry_.bytesPerSector, got);
    if (result != kOk) return result;
    std::memcpy(out.data() + done, chunk.data(), static_cast<size_t>(runBytes));
    done += runBytes;
  }
  return done == size ? kOk : kInvalidParameter;
}

int LoadGeometry(SectorSource& source, uint64_t partitionStart, uint64_t totalSectors,
                 NtfsGeometry& geometry) {
  const int32_t deviceSector = static_cast<int32_t>(source.DeviceSectorSize());
  std::vector<uint8_t> boot(static_cast<size_t>(std::max(deviceSector, 512)));
  uint32_t got = 0;
  int result = source.ReadSectors(1, boot.data(), partitionStart, deviceSector, got);
  if (result != kOk) return result;
  result = ParseBootSector(boot.data(), boot.size(), partitionStart, totalSectors, geometry);
  if (result != kOk) return result;
  // Extension records of the MFT itself are found through its first piece,
  // which the base record always holds.
  NtfsReader reader(source, geometry);
  RecordBuffer record;
  if (reader.ReadRecordAt(geometry.mftStart, record.data()) != kOk) return kOk;
  Attribute data;
  if (!FindAttribute(record.data(), static_cast<size_t>(geometry.recordBytes), kAttrData, data) ||
      !data.nonResident)
    return kOk;
  DecodeRunList(data, geometry.mftRuns);
  RunList whole;
  if (reader.ReadAttributeRuns(geometry.mftStart, kAttrData, whole) == kOk && !whole.empty())
    geometry.mftRuns = std::move(whole);
  return kOk;
}

}  // namespace salvora
