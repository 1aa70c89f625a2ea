#include "exfat/ProfessionalExfatRecovery.h"

#include "exfat/ExfatRebuiltCopy.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"

namespace salvora {

int CProfessionalExfatRecovery::Scan(const char*) { return kOk; }

int CProfessionalExfatRecovery::OpenResults(const char* savedNameOrNull) {
  window_.Clear();
  tree_.Clear();
  if (savedNameOrNull && *savedNameOrNull) return OpenStoreNamed(savedNameOrNull);
  return OpenNewStoreNamed(
      FormatStoreName(kDeepExfatStorePrefix, static_cast<int64_t>(firstSector_)));
}

int CProfessionalExfatRecovery::RegisterBootVolume() {
  if (opened_)
    volume_.Open(source_, firstSector_, sectorCount_, static_cast<uint32_t>(sectorSize_));
  return kOk;
}

void CProfessionalExfatRecovery::Keep(const ExfatEntrySet& set, uint64_t streamSector) {
  uint64_t byte = streamSector * static_cast<uint64_t>(sectorSize_);
  tree_.Add(set, byte / volume_.Layout().bytesPerSector);
}

int CProfessionalExfatRecovery::ProcessDirectoryEntries(const uint8_t* sector,
                                                        uint64_t absoluteSector) {
  if (!sector || !store_.IsOpen()) return kInvalidParameter;
  if (!volume_.IsOpen()) return kOk;
  auto keep = [this](const ExfatEntrySet& set, uint64_t streamSector) { Keep(set, streamSector); };
  // A set goes on into the next sector only when that sector follows.
  if (!window_.Empty() && absoluteSector != lastSector_ + 1) {
    window_.Drain(true, keep);
    window_.Clear();
  }
  uint32_t bytes = static_cast<uint32_t>(sectorSize_);
  window_.Append(sector, bytes, absoluteSector, bytes);
  window_.Drain(false, keep);
  lastSector_ = absoluteSector;
  return kOk;
}

int CProfessionalExfatRecovery::FinishFolders() {
  if (store_.IsOpen() && volume_.IsOpen()) {
    window_.Drain(true, [this](const ExfatEntrySet& set, uint64_t sector) { Keep(set, sector); });
    tree_.Write(volume_.Reader(), store_, sourceTag_);
  }
  window_.Clear();
  tree_.Clear();
  store_.Flush();
  return kOk;
}

// Formatting the card again clears every chain, not only deleted files'.
int CProfessionalExfatRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  if (!volume_.IsOpen() &&
      volume_.Open(source_, firstSector_, sectorCount_, static_cast<uint32_t>(sectorSize_)) != kOk)
    return kInvalidParameter;
  int result = kOk;
  if (CopyRebuiltExfatFile(source_, sectorSize_, volume_.Layout(), record, sink, result))
    return result;
  return volume_.CopyFile(record, sink);
}

}  // namespace salvora
