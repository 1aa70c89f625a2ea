#pragma once
// The carving engine: files that no file-system record describes any more,
// recognised by their first sector and measured by the rules of their
// format. It never scans on its own; the deep scan hands it every sector
// that no file-system engine claimed, in ascending order. A carved file is
// named "<start sector>.<extension>" and is one run of sectors from there,
// unless its pieces were found elsewhere (FragmentReassembly.h); a file
// that breaks and could not be completed is named
// "<start sector>_damaged.<extension>".
#include <cstdint>
#include <string>
#include <vector>

#include "carving/CarveContext.h"
#include "carving/FragmentPieces.h"
#include "carving/FragmentReassembly.h"
#include "storage/StoreEngine.h"

namespace salvora {

class CFileTypeRecovery : public StoreEngine {
 public:
  int OpenImage(const std::string& imagePath, uint16_t sourceTag) override;
  int OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
               uint16_t sourceTag) override;
  int SetCallbacks(ScanProgressFn onScan, TransferProgressFn onTransfer, void* userData,
                   int32_t percentScale) override;
  // Carving runs only inside the deep scan.
  int Scan(const char* savedStoreName) override;
  int VisitFolder(const FoundRecord* folder, int32_t depth, const RecordVisitor& visit) override;
  int CountFolderFiles(const FoundRecord* folder, int32_t depth, uint32_t& count) override;
  int GetRecordPath(const FoundRecord& record, std::string& path) override;

  // Resuming a saved deep scan: opens the source as OpenImage/OpenDisk
  // would, but reopens the saved store `storeName` (a file name in the
  // current run folder) instead of starting a new one.
  int ReopenImage(const std::string& imagePath, uint16_t sourceTag, const std::string& storeName,
                  int sectorSize);
  int ReopenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                 uint16_t sourceTag, const std::string& storeName, int sectorSize);
  // Reopens only the store (the source is already open).
  int ReopenStore(const std::string& storeName, int sectorSize);

  // Looks at one sector (`byteCount` == `sectorSize` bytes at absolute
  // `sector`). When a carvable file starts there, stores its record, sets
  // `advance` to the sectors the caller may skip (the caller presets 1),
  // adds 1 to `filesFound` and returns 0. Returns 87 when nothing carvable
  // starts there, and -9527 when the user cancelled while the file was
  // measured (nothing is stored then). Reads beyond the sector go through
  // `source` with absolute sector numbers.
  int CarveAtSector(int sectorSize, const uint8_t* sectorBytes, uint32_t byteCount, uint64_t sector,
                    uint64_t sectorsDone, uint64_t sectorsTotal, int32_t secondsLeft,
                    SectorSource& source, uint64_t& advance, uint64_t& filesFound);

  // A new deep scan forgets the transport streams of the previous one.
  void ClearTransportStreamRanges() { context_.tsRanges.clear(); }
  CarveContext& Context() { return context_; }

 protected:
  int CopyFileData(const FoundRecord& record, DataSink& sink) override;

 private:
  // The record's number, 0 when the store took none.
  uint32_t StoreCarvedRecord(const std::string& name, uint64_t fileSize, uint64_t sector,
                             bool doubtful);
  // A new store (or a reopened one) gets its companion file of pieces.
  void OpenPieceFile(bool fresh);

  CarveContext context_;
  FragmentReassembler fragments_;
  PieceFile pieceFile_;
};

}  // namespace salvora
