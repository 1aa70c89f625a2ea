#include "deep/ProfessionalRecovery.h"

#include "deep/FileSystemMetadata.h"
#include "platform/ErrorCodes.h"
#include "results/ScanResultStore.h"
#include "storage/EngineSelection.h"
#include "storage/ImageDisks.h"

namespace salvora {

CProfessionalRecovery::CProfessionalRecovery() {
  // A carved file ends where the structures of a file system begin.
  carving_.Context().endsCarvedFile = IsFileSystemMetadataSector;
}

CProfessionalRecovery::~CProfessionalRecovery() { quick_.reset(); }

int CProfessionalRecovery::OpenDisk(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                    uint16_t sourceTag) {
  identity_ = {diskNumber, firstSector, sectorCount, {}};
  // A partition of a disk image is known, like the image, by its file.
  std::string imagePath;
  if (ImageOfDiskNumber(diskNumber, imagePath))
    identity_ = {kImageDiskNumber, firstSector, sectorCount, NormalImagePath(imagePath)};
  sourceTag_ = sourceTag;
  int result = source_.OpenDisk(diskNumber);
  if (result != kOk) return result;
  sectorSize_ = static_cast<int>(source_.DeviceSectorSize());
  FindSavedEntry();
  fat_.OpenDisk(diskNumber, firstSector, sectorCount, sourceTag);
  exfat_.OpenDisk(diskNumber, firstSector, sectorCount, sourceTag);
  ext_.OpenDisk(diskNumber, firstSector, sectorCount, sourceTag);
  result = ntfs_.OpenDisk(diskNumber, firstSector, sectorCount, sourceTag);
  quick_ = CreateDiskEngine(diskNumber, firstSector, sectorCount, sourceTag, false).engine;
  return result;
}

int CProfessionalRecovery::OpenImage(const std::string& imagePath, uint16_t sourceTag) {
  sourceTag_ = sourceTag;
  int result = source_.OpenImage(imagePath);
  if (result != kOk) return result;
  sectorSize_ = 512;
  identity_ = {kImageDiskNumber, 0, source_.SectorCount(), NormalImagePath(imagePath)};
  FindSavedEntry();
  fat_.OpenImage(imagePath, sourceTag);
  exfat_.OpenImage(imagePath, sourceTag);
  ext_.OpenImage(imagePath, sourceTag);
  result = ntfs_.OpenImage(imagePath, sourceTag);
  quick_ = CreateImageEngine(imagePath, sourceTag, false).engine;
  return result;
}

void CProfessionalRecovery::FindSavedEntry() {
  saved_ = {};
  resume_ = FindSavedScan(identity_, saved_);
}

void CProfessionalRecovery::DiscardSavedScan() {
  if (!resume_) return;
  ScanHistory::Instance().ClearResume();
  ScanHistory::Instance().RemoveEntryWithFolder(EntryResultFolder(saved_));
  saved_ = {};
  resume_ = false;
}

int CProfessionalRecovery::SetCallbacks(ScanProgressFn onScan, TransferProgressFn onTransfer,
                                        void* userData, int32_t) {
  onScan_ = onScan;
  onTransfer_ = onTransfer;
  userData_ = userData;
  // The quick scan is the first tenth of the work, the walk the rest.
  percentScale_ = 90;
  if (quick_) quick_->SetCallbacks(onScan, onTransfer, userData, 9);
  fat_.SetCallbacks(onScan, onTransfer, userData, percentScale_);
  ntfs_.SetCallbacks(onScan, onTransfer, userData, percentScale_);
  exfat_.SetCallbacks(onScan, onTransfer, userData, percentScale_);
  ext_.SetCallbacks(onScan, onTransfer, userData, percentScale_);
  carving_.SetCallbacks(onScan, onTransfer, userData, percentScale_);
  return kOk;
}

int CProfessionalRecovery::SetListCallback(ListProgressFn fn, void* userData) {
  onList_ = fn;
  listUserData_ = userData;
  if (quick_) quick_->SetListCallback(fn, userData);
  fat_.SetListCallback(fn, userData);
  ntfs_.SetListCallback(fn, userData);
  exfat_.SetListCallback(fn, userData);
  ext_.SetListCallback(fn, userData);
  carving_.SetListCallback(fn, userData);
  return kOk;
}

IFileRecoveryParse* CProfessionalRecovery::EngineOf(uint32_t engineKind) {
  switch (engineKind) {
    case kQuickNtfs:
    case kQuickFat:
    case kQuickExfat:
    case kQuickExt:
      return quick_.get();
    case kDeepNtfs:
      return &ntfs_;
    case kDeepFat:
      return &fat_;
    case kDeepExfat:
      return &exfat_;
    case kDeepExt:
      return &ext_;
    case kCarved:
      return &carving_;
    default:
      return nullptr;
  }
}

int CProfessionalRecovery::ListFolder(const FoundRecord* folder, int32_t depth,
                                      std::vector<FoundRecord>& out) {
  int result = VisitFolder(folder, depth, [&](const FoundRecord& child) { out.push_back(child); });
  if (out.size() > 1) SortRecords(out);
  return result;
}

int CProfessionalRecovery::VisitFolder(const FoundRecord* folder, int32_t depth,
                                       const RecordVisitor& visit) {
  if (folder) {
    // Carved files have no folders.
    IFileRecoveryParse* engine =
        folder->engineKind == kCarved ? nullptr : EngineOf(folder->engineKind);
    return engine ? engine->VisitFolder(folder, depth, visit) : kOk;
  }
  if (depth != 0) return kInvalidParameter;
  if (quick_) quick_->VisitFolder(nullptr, 0, visit);
  fat_.VisitFolder(nullptr, 0, visit);
  ntfs_.VisitFolder(nullptr, 0, visit);
  exfat_.VisitFolder(nullptr, 0, visit);
  ext_.VisitFolder(nullptr, 0, visit);
  carving_.VisitFolder(nullptr, 0, visit);
  return kOk;
}

int CProfessionalRecovery::CountFolderFiles(const FoundRecord* folder, int32_t depth,
                                            uint32_t& count) {
  count = 0;
  if (folder) {
    IFileRecoveryParse* engine =
        folder->engineKind == kCarved ? nullptr : EngineOf(folder->engineKind);
    return engine ? engine->CountFolderFiles(folder, depth, count) : kOk;
  }
  if (depth != 0) return kInvalidParameter;
  for (IFileRecoveryParse* engine :
       {quick_.get(), static_cast<IFileRecoveryParse*>(&fat_),
        static_cast<IFileRecoveryParse*>(&ntfs_), static_cast<IFileRecoveryParse*>(&exfat_),
        static_cast<IFileRecoveryParse*>(&ext_), static_cast<IFileRecoveryParse*>(&carving_)}) {
    uint32_t part = 0;
    if (engine && engine->CountFolderFiles(nullptr, 0, part) == kOk) count += part;
  }
  return kOk;
}

uint64_t CProfessionalRecovery::GetRecordCount() {
  uint64_t count = fat_.GetRecordCount() + ntfs_.GetRecordCount() + exfat_.GetRecordCount() +
                   ext_.GetRecordCount() + carving_.GetRecordCount();
  return quick_ ? count + quick_->GetRecordCount() : count;
}

int CProfessionalRecovery::GetRecordPath(const FoundRecord& record, std::string& path) {
  path.clear();
  IFileRecoveryParse* engine = record.engineKind == kCarved ? nullptr : EngineOf(record.engineKind);
  return engine ? engine->GetRecordPath(record, path) : kOk;
}

int CProfessionalRecovery::RecoverItem(const FoundRecord* record, const std::string& destPath,
                                       int32_t destDepth) {
  if (!record) return kInvalidParameter;
  IFileRecoveryParse* engine = EngineOf(record->engineKind);
  return engine ? engine->RecoverItem(record, destPath, destDepth) : kOk;
}

int CProfessionalRecovery::ExtractForPreview(const FoundRecord* record, std::string& path,
                                             uint8_t* memory, uint32_t& size,
                                             ExtractProgressFn callback, void* userData) {
  if (!record) {
    if (callback) callback(userData, 100, kInvalidParameter);
    return kInvalidParameter;
  }
  IFileRecoveryParse* engine = EngineOf(record->engineKind);
  return engine ? engine->ExtractForPreview(record, path, memory, size, callback, userData) : kOk;
}

}  // namespace salvora
