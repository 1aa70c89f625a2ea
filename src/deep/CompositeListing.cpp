// The merged type listing: what the file-system engines found, then the
// carved files that are not copies of those. A carved file is a copy when
// it starts at the first data sector of a found file of the same type (a
// camera's thm thumbnail is a jpg). A deep engine that rebuilt a deleted
// folder the quick scan walked too finds its files again, at the same
// entries: those are listed once, as the quick scan found them, on their
// real paths.
#include <cctype>
#include <map>
#include <set>
#include <tuple>

#include "deep/ProfessionalRecovery.h"
#include "ext/FastExtRecovery.h"
#include "ntfs/NtfsRunList.h"
#include "results/ScanResultStore.h"

namespace salvora {
namespace {

std::string LowerExtension(const FoundRecord& record) {
  std::string name(record.name, RecordNameLength(record.name));
  size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

// First data sector of a FAT or exFAT file: its first cluster, or for
// cluster 0 the place the FAT12/16 root directory is taken to occupy (an
// empty exFAT file has no data at all).
bool FatFirstSector(const FoundRecord& record, uint64_t sectorSize, uint64_t& sector) {
  uint64_t perCluster = record.clusterBytes / sectorSize;
  bool exfat = record.engineKind == kQuickExfat || record.engineKind == kDeepExfat;
  if (record.firstCluster == 0 && !exfat) {
    uint64_t base = record.volumeFirstSector + record.dataAreaSector;
    if (base < 32) return false;
    sector = base - 32;
    return true;
  }
  if (record.firstCluster < 2) return false;
  sector =
      record.volumeFirstSector + perCluster * (record.firstCluster - 2) + record.dataAreaSector;
  return true;
}

bool IsCopyOf(const std::string& found, const std::string& carved) {
  return found == carved || (found == "thm" && carved == "jpg");
}

// Where a file-system engine found a file: the sector of its entry or
// record, its first cluster (NTFS: its record number) and its name.
using EntryPlace = std::tuple<uint64_t, uint32_t, std::string>;

EntryPlace PlaceOf(const FoundRecord& record) {
  // Packed fields are copied out before anything binds to them.
  uint64_t sector = record.entrySector;
  uint32_t cluster = record.firstCluster;
  return {sector, cluster, std::string(record.name, RecordNameLength(record.name))};
}

}  // namespace

int CProfessionalRecovery::ListByType(const std::string& filter, std::vector<FoundRecord>& out) {
  if (quick_) quick_->ListByType(filter, out);
  std::set<EntryPlace> quickPlaces;
  for (const FoundRecord& record : out) quickPlaces.insert(PlaceOf(record));
  std::vector<FoundRecord> rebuilt;
  fat_.ListByType(filter, rebuilt);
  ntfs_.ListByType(filter, rebuilt);
  exfat_.ListByType(filter, rebuilt);
  ext_.ListByType(filter, rebuilt);
  for (const FoundRecord& record : rebuilt)
    if (quickPlaces.count(PlaceOf(record)) == 0) out.push_back(record);
  std::map<uint64_t, std::string> foundAt;
  const uint64_t sectorSize = static_cast<uint64_t>(sectorSize_);
  for (const FoundRecord& record : out) {
    uint64_t sector = 0;
    if (record.engineKind == kQuickNtfs || record.engineKind == kDeepNtfs) {
      RunList runs;
      PlacedRun first;
      if (ntfs_.ReadDataRuns(record, runs) != 0 || !RunCursor(runs).Next(first) || first.sparse)
        continue;
      sector = first.lcn * record.clusterBytes / sectorSize + record.volumeFirstSector;
    } else if (record.engineKind == kQuickExt) {
      auto* ext = dynamic_cast<CFastExtRecovery*>(quick_.get());
      if (!ext || !ext->FirstDataSector(record, sector)) continue;
    } else if (record.engineKind == kDeepExt) {
      if (!ext_.FirstDataSector(record, sector)) continue;
    } else if (!FatFirstSector(record, sectorSize, sector)) {
      continue;
    }
    foundAt[sector] = LowerExtension(record);
  }
  std::vector<FoundRecord> carved;
  carving_.ListByType(filter, carved);
  for (const FoundRecord& record : carved) {
    auto it = foundAt.find(uint64_t{record.entrySector});
    if (it == foundAt.end() || !IsCopyOf(it->second, LowerExtension(record))) out.push_back(record);
  }
  if (out.size() > 1) SortRecords(out);
  return 1;
}

}  // namespace salvora
