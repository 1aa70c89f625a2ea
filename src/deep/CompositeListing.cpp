// The merged type listing: what the file-system engines found, then the
// carved files that are not copies of those. A carved file is a copy when
// it starts at the first data sector of a found file of the same type (a
// camera's thm thumbnail is a jpg). A deep engine that rebuilt a deleted
// folder the quick scan walked too finds its files again, at the same
// entries: those are listed once, as the quick scan found them, on their
// real paths.
#include <cctype>
#include <set>
#include <tuple>
#include <utility>

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
  int result = VisitByType(filter, [&](const FoundRecord& record) { out.push_back(record); });
  if (out.size() > 1) SortRecords(out);
  return result;
}

int CProfessionalRecovery::VisitByType(const std::string& filter, const RecordVisitor& visit) {
  const uint64_t sectorSize = static_cast<uint64_t>(sectorSize_);
  auto firstSector = [&](const FoundRecord& record, uint64_t& sector) {
    if (record.engineKind == kQuickNtfs || record.engineKind == kDeepNtfs) {
      RunList runs;
      PlacedRun first;
      if (ntfs_.ReadDataRuns(record, runs) != 0 || !RunCursor(runs).Next(first) || first.sparse)
        return false;
      sector = first.lcn * record.clusterBytes / sectorSize + record.volumeFirstSector;
      return true;
    }
    if (record.engineKind == kQuickExt) {
      auto* ext = dynamic_cast<CFastExtRecovery*>(quick_.get());
      return ext && ext->FirstDataSector(record, sector);
    }
    if (record.engineKind == kDeepExt) return ext_.FirstDataSector(record, sector);
    return FatFirstSector(record, sectorSize, sector);
  };
  // Where the listed file-system files start, with their types: a carved
  // file is a copy when any of them starting there is of its type.
  std::set<std::pair<uint64_t, std::string>> foundAt;
  auto listFound = [&](const FoundRecord& record) {
    uint64_t sector = 0;
    if (firstSector(record, sector)) foundAt.emplace(sector, LowerExtension(record));
    visit(record);
  };
  std::set<EntryPlace> quickPlaces;
  if (quick_)
    quick_->VisitByType(filter, [&](const FoundRecord& record) {
      quickPlaces.insert(PlaceOf(record));
      listFound(record);
    });
  auto listRebuilt = [&](const FoundRecord& record) {
    if (quickPlaces.count(PlaceOf(record)) == 0) listFound(record);
  };
  fat_.VisitByType(filter, listRebuilt);
  ntfs_.VisitByType(filter, listRebuilt);
  exfat_.VisitByType(filter, listRebuilt);
  ext_.VisitByType(filter, listRebuilt);
  carving_.VisitByType(filter, [&](const FoundRecord& record) {
    uint64_t sector = record.entrySector;
    std::string extension = LowerExtension(record);
    bool copy = foundAt.count({sector, extension}) != 0 ||
                (extension == "jpg" && foundAt.count({sector, "thm"}) != 0);
    if (!copy) visit(record);
  });
  return 1;
}

}  // namespace salvora
