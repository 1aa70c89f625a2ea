#include "carving/FileTypeRecovery.h"

#include <algorithm>
#include <vector>

#include "carving/FileTypeCode.h"
#include "carving/IdentifyAndMeasure.h"
#include "carving/JpegDecodeCheck.h"
#include "carving/ListedFileRuns.h"
#include "carving/SignatureTable.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"

namespace salvora {
namespace {

// Formats whose files may hold other files (documents with embedded
// pictures, containers, fonts and icons): the sector after their start is
// examined again.
bool NextSectorIsExamined(int type) {
  switch (type) {
    case kTypeWordCompound:
    case kTypeOtherCompound:
    case kTypeSheetCompound:
    case kTypeSlideCompound:
    case kTypeWave:
    case kTypeAvi:
    case kTypeAsf:
    case kTypeFlash:
    case kTypeBitmap:
    case kTypeCabinet:
    case kTypeTrueType:
    case kTypeIcon:
      return true;
    default:
      return false;
  }
}

// "<sector>_damaged.<extension>": listed and recovered like any carved
// file, and saying what it is wherever its name shows.
std::string DamagedName(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return name + "_damaged";
  return name.substr(0, dot) + "_damaged" + name.substr(dot);
}

}  // namespace

int CFileTypeRecovery::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  store_.CloseStore();
  int result = OpenImageSource(imagePath, sourceTag);
  OpenNewStoreNamed(FormatStoreName(kCarvingStorePrefix, 0));
  OpenPieceFile(true);
  return result;
}

int CFileTypeRecovery::OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                uint16_t sourceTag) {
  store_.CloseStore();
  int result = OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag);
  OpenNewStoreNamed(FormatStoreName(kCarvingStorePrefix, static_cast<int64_t>(firstSector)));
  OpenPieceFile(true);
  return result;
}

int CFileTypeRecovery::ReopenImage(const std::string& imagePath, uint16_t sourceTag,
                                   const std::string& storeName, int sectorSize) {
  store_.CloseStore();
  int result = OpenImageSource(imagePath, sourceTag);
  int reopened = ReopenStore(storeName, sectorSize);
  return result != kOk ? result : reopened;
}

int CFileTypeRecovery::ReopenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                  uint16_t sourceTag, const std::string& storeName,
                                  int sectorSize) {
  store_.CloseStore();
  int result = OpenDiskSource(diskNumber, firstSector, sectorCount, sourceTag);
  int reopened = ReopenStore(storeName, sectorSize);
  return result != kOk ? result : reopened;
}

int CFileTypeRecovery::ReopenStore(const std::string& storeName, int sectorSize) {
  sectorSize_ = sectorSize;
  int result = OpenStoreNamed(storeName);
  OpenPieceFile(false);
  return result;
}

void CFileTypeRecovery::OpenPieceFile(bool fresh) {
  fragments_.NewScan();
  pieceFile_.Open(store_.IsOpen() ? store_.DataPath() + "_Pieces" : std::string(), fresh);
}

int CFileTypeRecovery::SetCallbacks(ScanProgressFn onScan, TransferProgressFn onTransfer,
                                    void* userData, int32_t percentScale) {
  StoreEngine::SetCallbacks(onScan, onTransfer, userData, percentScale);
  context_.onScan = onScan;
  context_.userData = userData;
  context_.percentScale = percentScale;
  return kOk;
}

int CFileTypeRecovery::Scan(const char*) { return kOk; }

// Carved records all lie at the root: a folder or a depth lists nothing.
int CFileTypeRecovery::VisitFolder(const FoundRecord* folder, int32_t depth,
                                   const RecordVisitor& visit) {
  if (store_.IsOpen()) store_.Flush();
  if (folder || depth != 0) return kOk;
  return StoreEngine::VisitFolder(nullptr, 0, visit);
}

int CFileTypeRecovery::CountFolderFiles(const FoundRecord* folder, int32_t depth, uint32_t& count) {
  count = 0;
  if (store_.IsOpen()) store_.Flush();
  if (folder || depth != 0) return kOk;
  return StoreEngine::CountFolderFiles(nullptr, 0, count);
}

int CFileTypeRecovery::GetRecordPath(const FoundRecord&, std::string& path) {
  path.clear();
  return kOk;
}

int CFileTypeRecovery::CarveAtSector(int sectorSize, const uint8_t* sectorBytes, uint32_t byteCount,
                                     uint64_t sector, uint64_t sectorsDone, uint64_t sectorsTotal,
                                     int32_t secondsLeft, SectorSource& source, uint64_t& advance,
                                     uint64_t& filesFound) {
  // Most sectors of a disk start nothing a detector knows; they cost no
  // attempt.
  if (!MayIdentifySector(sectorBytes, byteCount)) {
    context_.NoteAttemptFoundNothing();
    return kInvalidParameter;
  }
  sectorSize_ = sectorSize;
  context_.sectorSize = sectorSize;
  context_.source = &source;
  CarvedFile found;
  int result =
      IdentifyAndMeasure(context_, sectorBytes, byteCount,
                         {sector, sectorsDone, sectorsTotal, secondsLeft, filesFound}, found);
  if (result != kOk) return result;
  JpegVerdict verdict = JpegVerdict::kWhole;
  if (found.type == kTypeJpeg) {
    verdict = CheckJpegDecodes(context_, found.size);
    if (verdict == JpegVerdict::kJunk) return kInvalidParameter;
  }
  Reassembly rebuilt;
  if (context_.lastCallbackResult == 0) rebuilt = fragments_.Examine(context_, found.type, found.size);
  if (context_.lastCallbackResult == kCancelled) return kCancelled;
  if (rebuilt.outcome == FragmentOutcome::kJoined) found.size = rebuilt.size;
  if (rebuilt.outcome == FragmentOutcome::kDamaged) found.name = DamagedName(found.name);
  // A photo that breaks off and could not be completed is listed, marked.
  bool doubtful = found.doubtful || rebuilt.uncertain ||
                  (verdict == JpegVerdict::kDamaged && rebuilt.outcome != FragmentOutcome::kJoined);
  uint32_t recordNo = StoreCarvedRecord(found.name, found.size, sector, doubtful);
  if (rebuilt.outcome == FragmentOutcome::kJoined && recordNo != 0)
    pieceFile_.Add(recordNo, rebuilt.pieces);
  if (rebuilt.firstRunSectors > 0) {
    // What follows the file's first run is other data: it is looked at.
    advance = rebuilt.firstRunSectors;
  } else if (!NextSectorIsExamined(found.type) && sectorSize > 0) {
    uint64_t sectors = (found.size + sectorSize - 1) / static_cast<uint64_t>(sectorSize);
    advance = std::max<uint64_t>(sectors, 1);
  }
  ++filesFound;
  return kOk;
}

// A store that cannot take the record is the store's business; the scan
// goes on.
uint32_t CFileTypeRecovery::StoreCarvedRecord(const std::string& name, uint64_t fileSize,
                                              uint64_t sector, bool doubtful) {
  FoundRecord* record = store_.AppendRecord();
  if (!record) return 0;
  record->sourceTag = sourceTag_;
  record->engineKind = kCarved;
  // A file whose length is a guess is listed all the same, marked as one
  // whose content may not be whole.
  record->contentOk = doubtful ? 0 : 1;
  record->recordNo = store_.GetRecordCount();
  record->clusterBytes = 0xFFFFFFFF;
  record->fileSize = fileSize;
  record->entrySector = sector;
  SetRecordName(record->name, name.c_str());
  store_.AddRelation(0, 0, record->recordNo, 0, nullptr);
  return record->recordNo;
}

// A carved file is one run of sectors from its start, or the runs its
// pieces were found in; whole sectors are read and the sink keeps the
// file's size.
int CFileTypeRecovery::CopyFileData(const FoundRecord& record, DataSink& sink) {
  if (sectorSize_ <= 0 || static_cast<uint32_t>(sectorSize_) > kScanBufferBytes)
    return kInvalidParameter;
  const uint64_t sectorBytes = static_cast<uint64_t>(sectorSize_);
  PieceList pieces;
  if (!pieceFile_.Find(record.recordNo, pieces))
    pieces = {{record.entrySector, (record.fileSize + sectorBytes - 1) / sectorBytes}};
  return CopySectorRuns(source_, sectorSize_, pieces, sink);
}

}  // namespace salvora
