#include "fat/ProfessionalFatRecovery.h"

#include <algorithm>
#include <vector>

#include "carving/ListedFileRuns.h"
#include "fat/FatDeepSweep.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"

namespace salvora {
namespace {

// A cluster size no FAT volume has: the record is damaged.
constexpr uint32_t kMaxClusterBytes = 100u << 20;

}  // namespace

CProfessionalFatRecovery::CProfessionalFatRecovery()
    : sweep_(
          std::make_unique<FatDeepSweep>(store_, source_, sectorSize_, firstSector_, sourceTag_)) {}

CProfessionalFatRecovery::~CProfessionalFatRecovery() = default;

int CProfessionalFatRecovery::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenImageSource(imagePath, sourceTag);
  opened_ = result == kOk;
  sweep_->ForgetLastPlace();
  return result;
}

int CProfessionalFatRecovery::OpenDisk(uint32_t diskNumber, uint64_t firstSector,
                                       uint64_t sectorCount, uint16_t sourceTag) {
  if (opened_) return kOk;
  int result = OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag);
  opened_ = result == kOk;
  sweep_->ForgetLastPlace();
  return result;
}

int CProfessionalFatRecovery::Scan(const char*) { return kOk; }

int CProfessionalFatRecovery::OpenResults(const char* savedNameOrNull) {
  sweep_->Clear();
  if (savedNameOrNull && *savedNameOrNull) return OpenStoreNamed(savedNameOrNull);
  return OpenNewStoreNamed(
      FormatStoreName(kDeepFatStorePrefix, static_cast<int64_t>(firstSector_)));
}

int CProfessionalFatRecovery::RegisterBootVolume() {
  sweep_->RegisterBootVolume();
  return kOk;
}

int CProfessionalFatRecovery::ProcessDirectoryStart(const uint8_t* sector,
                                                    uint64_t absoluteSector) {
  if (!sector || !store_.IsOpen()) return kInvalidParameter;
  sweep_->DirectoryStart(sector, absoluteSector);
  return kOk;
}

int CProfessionalFatRecovery::ProcessDirectoryEntries(const uint8_t* sector,
                                                      uint64_t absoluteSector) {
  if (!sector || !store_.IsOpen()) return kInvalidParameter;
  sweep_->DirectoryEntries(sector, absoluteSector);
  return kOk;
}

int CProfessionalFatRecovery::FinishFolders() {
  if (store_.IsOpen()) sweep_->Finish();
  store_.Flush();
  return kOk;
}

// No FAT is trusted after a format, so a file is read from its first
// cluster on through the clusters that follow it on disk: one run, unless
// its format shows it was fragmented and where its other runs lie.
int CProfessionalFatRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  if (record.clusterBytes > kMaxClusterBytes) return kWriteFault;
  if (record.fileSize == 0) return kOk;
  uint64_t sectorBytes = static_cast<uint64_t>(sectorSize_);
  if (record.firstCluster < 2 || record.clusterBytes < sectorBytes ||
      record.clusterBytes % sectorBytes != 0)
    return kInvalidParameter;
  uint64_t perCluster = record.clusterBytes / sectorBytes;
  uint64_t sector = 0;
  if (__builtin_add_overflow(record.volumeFirstSector, record.dataAreaSector, &sector) ||
      __builtin_add_overflow(sector, (record.firstCluster - 2) * perCluster, &sector))
    return kInvalidParameter;
  PieceList pieces;
  const ListedRuns runs =
      RebuildListedFile(source_, sectorSize_, sector, perCluster, record.fileSize, record.name,
                        pieces);
  if (runs == ListedRuns::kJoined || runs == ListedRuns::kGuessed)
    return CopySectorRuns(source_, sectorSize_, pieces, sink);
  uint64_t chunkSectors = std::max<uint64_t>(1, kTransferChunkBytes / sectorBytes);
  std::vector<uint8_t> buffer(chunkSectors * sectorBytes);
  while (!sink.Full()) {
    // Never ask for more than the source holds, so that a file running off
    // its end still yields the sectors before the end.
    if (sector >= source_.SectorCount()) return kReadFault;
    uint64_t wanted = (sink.Limit() - sink.Written() + sectorBytes - 1) / sectorBytes;
    uint64_t count = std::min({chunkSectors, wanted, source_.SectorCount() - sector});
    uint32_t got = 0;
    int result =
        source_.ReadSectors(static_cast<int32_t>(count), buffer.data(), sector, sectorSize_, got);
    if (got == 0) return result != kOk ? result : kReadFault;
    int written = sink.Write(buffer.data(), got * sectorBytes);
    if (written != kOk) return written;
    if (result != kOk) return result;
    sector += got;
  }
  // What the one run holds is handed over, but not passed off as whole.
  return runs == ListedRuns::kDamaged ? kFileCorrupt : kOk;
}

}  // namespace salvora
