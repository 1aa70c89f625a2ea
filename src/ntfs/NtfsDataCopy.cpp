#include "ntfs/NtfsDataCopy.h"

#include <algorithm>
#include <vector>

#include "ntfs/Lznt1.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

// NTFS compresses only on volumes with clusters up to 4 KiB, in units of
// 16 clusters; anything far larger is not a real compression unit.
constexpr uint64_t kMaxUnitBytes = 1u << 20;

bool UsablePlacement(const ClusterPlacement& at) {
  return at.bytesPerSector >= 512 && at.clusterBytes >= static_cast<uint64_t>(at.bytesPerSector) &&
         at.clusterBytes % static_cast<uint64_t>(at.bytesPerSector) == 0;
}

uint64_t BytesStillWanted(const DataSink& sink) { return sink.Limit() - sink.Written(); }

// Bytes of `clusters` clusters, or `cap` when that is smaller or the
// product would overflow.
uint64_t ClusterSpan(uint64_t clusters, uint64_t clusterBytes, uint64_t cap) {
  return clusters > cap / clusterBytes ? cap : std::min(clusters * clusterBytes, cap);
}

// Absolute sector of cluster `lcn`; false when it does not exist.
bool ClusterSector(const ClusterPlacement& at, uint64_t lcn, uint64_t& sector) {
  uint64_t sectorsPerCluster = at.clusterBytes / static_cast<uint64_t>(at.bytesPerSector);
  if (lcn > (UINT64_MAX - at.volumeFirstSector) / sectorsPerCluster) return false;
  sector = at.volumeFirstSector + lcn * sectorsPerCluster;
  return true;
}

int WriteZeros(uint64_t count, std::vector<uint8_t>& zeros, DataSink& sink) {
  std::fill(zeros.begin(), zeros.end(), 0);
  while (count > 0 && !sink.Full()) {
    size_t piece = static_cast<size_t>(std::min<uint64_t>(count, zeros.size()));
    int result = sink.Write(zeros.data(), piece);
    if (result != kOk) return result;
    count -= piece;
  }
  return kOk;
}

// Reads `bytes` (whole sectors) from `sector` on into `out`.
int ReadSpan(SectorSource& source, uint64_t sector, uint64_t bytes, int32_t sectorSize,
             uint8_t* out) {
  uint64_t done = 0;
  while (done < bytes) {
    uint64_t chunk = std::min<uint64_t>(bytes - done, kTransferChunkBytes);
    uint32_t got = 0;
    int result = source.ReadSectors(static_cast<int32_t>(chunk / sectorSize), out + done,
                                    sector + done / sectorSize, sectorSize, got);
    if (got == 0) return result == kOk || result == kInvalidParameter ? kReadFault : result;
    if (result != kOk) return result;
    done += static_cast<uint64_t>(got) * static_cast<uint64_t>(sectorSize);
  }
  return kOk;
}

int StreamPlacedRun(SectorSource& source, const PlacedRun& run, const ClusterPlacement& at,
                    std::vector<uint8_t>& buffer, DataSink& sink) {
  const uint64_t sectorBytes = static_cast<uint64_t>(at.bytesPerSector);
  // Only the part that can still reach the file is read, rounded up to
  // whole sectors.
  uint64_t left = std::min(ClusterSpan(run.length, at.clusterBytes, UINT64_MAX - sectorBytes),
                           BytesStillWanted(sink));
  if (run.sparse) return WriteZeros(left, buffer, sink);
  uint64_t sector = 0;
  if (!ClusterSector(at, run.lcn, sector)) return kFileCorrupt;
  left = (left + sectorBytes - 1) / sectorBytes * sectorBytes;
  while (left > 0 && !sink.Full()) {
    uint64_t chunk = std::min<uint64_t>(left, buffer.size());
    int result = ReadSpan(source, sector, chunk, at.bytesPerSector, buffer.data());
    if (result != kOk) return result;
    result = sink.Write(buffer.data(), static_cast<size_t>(chunk));
    if (result != kOk) return result;
    left -= chunk;
    sector += chunk / sectorBytes;
  }
  return kOk;
}

// Fills `unit` with the clusters [first, first + count) and tells how many
// of them are allocated (the rest read as zeros).
int ReadUnit(SectorSource& source, const std::vector<PlacedRun>& placed, uint64_t first,
             uint64_t count, const ClusterPlacement& at, std::vector<uint8_t>& unit,
             uint64_t& allocated) {
  std::fill(unit.begin(), unit.end(), 0);
  allocated = 0;
  for (const PlacedRun& run : placed) {
    uint64_t runEnd = run.vcn + run.length;
    if (runEnd <= first || run.vcn >= first + count) continue;
    uint64_t from = std::max(run.vcn, first);
    uint64_t to = std::min(runEnd, first + count);
    if (run.sparse) continue;
    allocated += to - from;
    uint64_t sector = 0;
    if (!ClusterSector(at, run.lcn + (from - run.vcn), sector)) return kFileCorrupt;
    int result = ReadSpan(source, sector, (to - from) * at.clusterBytes, at.bytesPerSector,
                          unit.data() + (from - first) * at.clusterBytes);
    if (result != kOk) return result;
  }
  return kOk;
}

int FinishStream(const RunCursor& cursor, const DataSink& sink) {
  if (sink.Full()) return kOk;
  return cursor.Broken() ? kFileCorrupt : kHandleEof;
}

}  // namespace

int StreamRuns(SectorSource& source, const RunList& runs, const ClusterPlacement& at,
               DataSink& sink) {
  if (!UsablePlacement(at)) return kInvalidParameter;
  std::vector<uint8_t> buffer(kTransferChunkBytes);
  RunCursor cursor(runs);
  PlacedRun run;
  while (!sink.Full() && cursor.Next(run)) {
    int result = StreamPlacedRun(source, run, at, buffer, sink);
    if (result != kOk) return result;
  }
  return FinishStream(cursor, sink);
}

int StreamCompressedRuns(SectorSource& source, const RunList& runs, const ClusterPlacement& at,
                         uint8_t unitShift, DataSink& sink) {
  if (!UsablePlacement(at) || unitShift > 16) return kInvalidParameter;
  const uint64_t unitClusters = 1ull << unitShift;
  if (unitClusters > kMaxUnitBytes / at.clusterBytes) return kNotSupported;
  const size_t unitBytes = static_cast<size_t>(unitClusters * at.clusterBytes);
  std::vector<PlacedRun> placed;
  RunCursor cursor(runs);
  PlacedRun run;
  while (cursor.Next(run)) placed.push_back(run);
  const uint64_t totalClusters = placed.empty() ? 0 : placed.back().vcn + placed.back().length;

  std::vector<uint8_t> unit(unitBytes);
  std::vector<uint8_t> plain(unitBytes);
  for (uint64_t first = 0; first < totalClusters && !sink.Full(); first += unitClusters) {
    uint64_t allocated = 0;
    int result = ReadUnit(source, placed, first, unitClusters, at, unit, allocated);
    if (result != kOk) return result;
    // A unit stored in all its clusters was not worth compressing; a unit
    // with none is a hole.
    const uint8_t* out = unit.data();
    if (allocated != 0 && allocated < unitClusters) {
      result = Lznt1Decompress(unit.data(), static_cast<size_t>(allocated * at.clusterBytes),
                               plain.data(), plain.size());
      if (result != kOk) return result;
      out = plain.data();
    }
    result = sink.Write(out, unitBytes);
    if (result != kOk) return result;
  }
  return FinishStream(cursor, sink);
}

int CopyRecordData(const NtfsReader& reader, uint64_t entrySector, const ClusterPlacement& at,
                   DataSink& sink) {
  if (sink.Full()) return kOk;
  std::vector<uint8_t> value(kMaxRecordBytes);
  uint32_t length = 0;
  int result = reader.ReadResidentData(entrySector, value.data(),
                                       static_cast<uint32_t>(value.size()), length);
  if (result == kOk) {
    result = sink.Write(value.data(), length);
    if (result != kOk) return result;
    return sink.Full() ? kOk : kHandleEof;
  }
  if (result != kDataNotResident) return result;
  RunList runs;
  DataAttributeInfo info;
  result = reader.ReadAttributeRuns(entrySector, kAttrData, runs, &info);
  if (result != kOk) return result;
  if (info.resident) return kAttributeNotFound;
  if (info.flags & kAttrFlagEncrypted) return kNotSupported;
  if (info.flags & kAttrFlagCompressed)
    return StreamCompressedRuns(reader.Source(), runs, at, info.compressionUnit, sink);
  return StreamRuns(reader.Source(), runs, at, sink);
}

}  // namespace salvora
