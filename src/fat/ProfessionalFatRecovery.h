#pragma once
// The deep FAT engine: rebuilds FAT volumes whose boot sector or FAT is gone
// or stale (formatted or repartitioned media). It never sweeps the disk
// itself; the composite deep scan hands it every sector that begins a
// subdirectory and every sector that looks like a block of directory
// entries, in ascending sector order. From those it infers where volumes lie,
// turns entries into found files and folders, and rebuilds the folder tree.
// File data is copied as consecutive clusters, since no FAT is trusted.
#include <cstdint>
#include <memory>
#include <string>

#include "storage/StoreEngine.h"

namespace salvora {

class FatDeepSweep;

class CProfessionalFatRecovery final : public StoreEngine {
 public:
  CProfessionalFatRecovery();
  ~CProfessionalFatRecovery() override;
  CProfessionalFatRecovery(const CProfessionalFatRecovery&) = delete;
  CProfessionalFatRecovery& operator=(const CProfessionalFatRecovery&) = delete;

  // Both do nothing and return 0 when the engine is already open.
  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  // The composite drives this engine through the entry points below.
  int Scan(const char* savedStoreName) override;

  // Starts a sweep: forgets everything learnt by an earlier one and opens
  // the store `savedNameOrNull` (a resumed scan), or a new "Pro_Fat_" store
  // when it is null or empty. Returns the store's open result.
  int OpenResults(const char* savedNameOrNull);
  // Takes the boot sector at the volume's first sector, when it is a FAT
  // one, as the first known volume. Always 0.
  int RegisterBootVolume();
  // `sector` holds one sector (SectorSize() bytes) at absolute sector
  // `absoluteSector` that starts with a "." and a ".." directory entry.
  int ProcessDirectoryStart(const uint8_t* sector, uint64_t absoluteSector);
  // `sector` holds one sector that looks like a block of directory entries.
  int ProcessDirectoryEntries(const uint8_t* sector, uint64_t absoluteSector);
  // Once after the sweep (also a cancelled one): places what could not be
  // placed during it and writes the folders. Always 0.
  int FinishFolders();

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;

 private:
  std::unique_ptr<FatDeepSweep> sweep_;
};

}  // namespace salvora
