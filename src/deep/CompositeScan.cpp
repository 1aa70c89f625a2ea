// The deep scan itself: the quick scan first, then one walk over the free
// space (or the whole volume) in 64 KiB chunks, read ahead by a reader
// thread, then the folders of the deep engines, and at the end the position
// in the saved-scan index.
#include <algorithm>
#include <cstring>
#include <exception>
#include <initializer_list>

#include "deep/CompositeClassifier.h"
#include "deep/ProfessionalRecovery.h"
#include "deep/ReadAheadRing.h"
#include "ext/FastExtRecovery.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "results/StoreName.h"

namespace salvora {
namespace {

constexpr uint32_t kChunkBytes = 0x10000;
constexpr uint64_t kEstimateEveryMs = 5000;

}  // namespace

// Hands the classified sectors to the engines, with the walk's progress for
// the carving engine's own progress calls. The walk's reader owns the
// composite's source; what the scan reads itself goes through the carving
// engine's source, after a look into the ring.
class CProfessionalRecovery::Owners final : public SectorOwners {
 public:
  Owners(CProfessionalRecovery& scan, ReadAheadRing& ring) : scan_(scan), ring_(ring) {}
  void OnFileRecord(const uint8_t* record, size_t length, uint64_t sector) override {
    scan_.ntfs_.ProcessFileRecord(record, length, sector, 0, 0);
  }
  void OnDirectoryStart(const uint8_t* data, uint64_t sector) override {
    scan_.fat_.ProcessDirectoryStart(data, sector);
  }
  void OnDirectoryEntries(const uint8_t* data, uint64_t sector) override {
    scan_.fat_.ProcessDirectoryEntries(data, sector);
  }
  void OnExfatDirectoryEntries(const uint8_t* data, uint64_t sector) override {
    scan_.exfat_.ProcessDirectoryEntries(data, sector);
  }
  int Carve(const uint8_t* data, uint64_t sector, uint64_t& advance) override {
    uint64_t found = scan_.position_.filesFound;
    return scan_.carving_.CarveAtSector(
        scan_.sectorSize_, data, static_cast<uint32_t>(scan_.sectorSize_), sector,
        scan_.position_.sectorsDone, scan_.total_, scan_.secondsLeft_, scan_.carving_.Source(),
        advance, found);
  }
  size_t ReadRecordAt(uint64_t sector, uint8_t* buffer) override {
    SectorSource& source = scan_.carving_.Source();
    uint64_t size = static_cast<uint64_t>(scan_.sectorSize_);
    uint64_t available = source.SectorCount() > sector ? source.SectorCount() - sector : 0;
    uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(kRecordReadBytes / size, available));
    if (count == 0) return 0;
    if (const uint8_t* held = ring_.Find(sector, count, buffer)) {
      if (held != buffer) std::memcpy(buffer, held, count * size);
      return static_cast<size_t>(count * size);
    }
    uint32_t read = 0;
    source.ReadSectors(static_cast<int32_t>(count), buffer, sector, scan_.sectorSize_, read);
    return static_cast<size_t>(read * size);
  }

 private:
  CProfessionalRecovery& scan_;
  ReadAheadRing& ring_;
};

// Measure rules look into the ring while the walk runs, and only then.
class HeldForCarving {
 public:
  HeldForCarving(CarveContext& context, HeldSectors& held) : context_(context) {
    context_.held = &held;
  }
  ~HeldForCarving() { context_.held = nullptr; }

 private:
  CarveContext& context_;
};

int CProfessionalRecovery::Scan(const char*) {
  ScanHistory& history = ScanHistory::Instance();
  const bool resumed = resume_;
  std::string folder = resumed ? EntryResultFolder(saved_) : history.NewRunFolder();
  bool useFreeMap = false;
  int result = RunQuickScan(resumed ? folder : std::string(), useFreeMap);
  // A quick scan that met sectors the disk would not give kept what it
  // found; the walk goes on, and the failure is told at the end.
  int quickFailure = result == kReadFault ? result : kOk;
  if (result == kReadFault) result = kOk;
  if (result == kOk) result = PrepareEngines(resumed ? folder : std::string());
  if (result != kOk) {
    if (!resumed) history.UndoNewRunFolder();
    return result;
  }
  // A volume is walked as far as the source holds it, however large it
  // claims to be.
  uint64_t held = source_.SectorCount() > identity_.firstSector
                      ? source_.SectorCount() - identity_.firstSector
                      : 0;
  WalkRanges ranges(useFreeMap ? quick_.get() : nullptr, std::min(identity_.sectorCount, held));
  walkedFreeSpace_ = useFreeMap;
  result = WalkVolume(ranges);
  // What the walk met is placed even when it was cancelled.
  fat_.FinishFolders();
  ntfs_.EmitPendingFolders();
  exfat_.FinishFolders();
  // Where another file system now lives, an old ext volume's blocks may be
  // its data: the bitmaps left behind cannot say, so nothing is rebuilt.
  ext_.FinishFolders(!quick_ || dynamic_cast<CFastExtRecovery*>(quick_.get()) != nullptr);
  fat_.Store().Flush();
  ntfs_.Store().Flush();
  carving_.Store().Flush();
  position_.filesFound = GetRecordCount();
  if (result == kOk && onScan_) onScan_(userData_, 100, 100, 0, 0, 0, 0, 0);
  SaveScanPosition(identity_, position_, CarveSkipAtPosition(), folder);
  history.ClearResume();
  resume_ = false;
  return result != kOk ? result : FirstReadFailure(quickFailure);
}

// Sectors the disk would not give are passed over by every part of the
// scan; the first such failure is the scan's result once all is kept.
int CProfessionalRecovery::FirstReadFailure(int quickFailure) {
  for (int failure : {quickFailure, source_.FirstFailure(), carving_.Source().FirstFailure(),
                      fat_.Source().FirstFailure(), ntfs_.Source().FirstFailure(),
                      exfat_.Source().FirstFailure(), ext_.Source().FirstFailure()})
    if (failure != kOk) return failure;
  return kOk;
}

void CProfessionalRecovery::AddUnreadAreas(std::vector<ByteRange>& out, uint64_t& leftOut) const {
  source_.Unread().AddTo(out, leftOut);
  for (const StoreEngine* engine :
       std::initializer_list<const StoreEngine*>{&carving_, &fat_, &ntfs_, &exfat_, &ext_})
    engine->AddUnreadAreas(out, leftOut);
  if (const auto* quick = dynamic_cast<const UnreadAreaReport*>(quick_.get()))
    quick->AddUnreadAreas(out, leftOut);
}

// The quick engine runs first; on a resumed scan it reopens its saved store.
// Its usage map, when it has a usable one, limits the walk to free space.
int CProfessionalRecovery::RunQuickScan(const std::string& savedFolder, bool& useFreeMap) {
  useFreeMap = false;
  if (!quick_) return kOk;
  quick_->SetCallbacks(onScan_, nullptr, userData_, 9);
  useFreeMap = HasUsableFreeMap(*quick_);
  std::string saved =
      savedFolder.empty() ? std::string() : FindStoreName(savedFolder, kQuickStorePrefix);
  return quick_->Scan(saved.empty() ? nullptr : saved.c_str());
}

int CProfessionalRecovery::PrepareEngines(const std::string& savedFolder) {
  auto savedName = [&](const char* prefix) {
    return savedFolder.empty() ? std::string() : FindStoreName(savedFolder, prefix);
  };
  std::string carved = savedName(kCarvingStorePrefix);
  int result;
  if (!carved.empty())
    result = identity_.imagePath.empty()
                 ? carving_.ReopenDisk(identity_.diskNumber, identity_.firstSector,
                                       identity_.sectorCount, sourceTag_, carved, sectorSize_)
                 : carving_.ReopenImage(identity_.imagePath, sourceTag_, carved, sectorSize_);
  else
    result = identity_.imagePath.empty()
                 ? carving_.OpenDisk(identity_.diskNumber, identity_.firstSector,
                                     identity_.sectorCount, sourceTag_)
                 : carving_.OpenImage(identity_.imagePath, sourceTag_);
  if (result != kOk) return result;
  std::string fatName = savedName(kDeepFatStorePrefix), ntfsName = savedName(kDeepNtfsStorePrefix);
  std::string exfatName = savedName(kDeepExfatStorePrefix);
  std::string extName = savedName(kDeepExtStorePrefix);
  result = fat_.OpenResults(fatName.empty() ? nullptr : fatName.c_str());
  if (result == kOk) result = ntfs_.OpenResults(ntfsName.empty() ? nullptr : ntfsName.c_str());
  if (result == kOk) result = exfat_.OpenResults(exfatName.empty() ? nullptr : exfatName.c_str());
  if (result == kOk) result = ext_.OpenResults(extName.empty() ? nullptr : extName.c_str());
  if (result != kOk) return result;
  fat_.RegisterBootVolume();
  exfat_.RegisterBootVolume();
  ext_.RegisterVolume();
  carving_.ClearTransportStreamRanges();
  if (onList_) SetListCallback(onList_, listUserData_);
  SetCallbacks(onScan_, onTransfer_, userData_, percentScale_);
  return kOk;
}

int CProfessionalRecovery::WalkVolume(WalkRanges& ranges) {
  total_ = ranges.Total();
  startMs_ = lastEstimateMs_ = SteadyMilliseconds();
  secondsLeft_ = -1;
  WalkRange range;
  uint64_t offset = 0;
  bool more;
  carveFrom_ = 0;
  if (resume_) {
    position_ = PositionOf(saved_);
    range = {position_.rangeStart, position_.rangeLength};
    offset = position_.offset;
    more = range.length > 0;
    resume_ = false;
    // A carved file that the interrupted walk was inside is not carved again.
    carveFrom_ = identity_.firstSector + range.start + position_.offset + saved_.reserved;
  } else {
    position_ = {};
    more = ranges.Next(0, range);
  }
  const uint32_t chunkSectors = kChunkBytes / static_cast<uint32_t>(sectorSize_);
  if (!more || chunkSectors == 0) return kOk;
  try {
    ReadAheadRing ring(source_, identity_.firstSector, static_cast<uint32_t>(sectorSize_),
                       chunkSectors);
    HeldForCarving held(carving_.Context(), ring);
    Owners owners(*this, ring);
    ring.Start(ranges, range, offset);
    WalkChunk chunk;
    while (ring.NextChunk(chunk)) {
      int result = WalkOneChunk(chunk, owners);
      if (result != kOk) return result;
    }
  } catch (const std::exception&) {
    // No memory for the ring, or no thread to read it.
    return kNotEnoughMemory;
  }
  return kOk;
}

int CProfessionalRecovery::WalkOneChunk(const WalkChunk& chunk, Owners& owners) {
  bool cancelled = false;
  uint32_t walked = chunk.sectors;
  if (chunk.read > 0) {
    try {
      // Directory blocks are seen whole here, before the chunk is cut into
      // sectors; carving may still take their sectors, which it never keeps.
      ext_.ProcessChunk(chunk.data, chunk.read, chunk.first);
      walked = ClassifyChunk(chunk.data, chunk.read, static_cast<uint32_t>(sectorSize_),
                             chunk.first, owners, carveFrom_, cancelled, chunk.facts);
    } catch (...) {
      // One damaged chunk must not end the scan of a whole disk.
    }
  }
  // Unreadable sectors are passed over; a cancel stops at its sector.
  uint32_t step = cancelled ? walked : chunk.sectors;
  position_.rangeStart = chunk.range.start;
  position_.rangeLength = chunk.range.length;
  position_.offset = chunk.offset + step;
  position_.sectorsDone += step;
  UpdateEstimate();
  int answer = ReportWalk();
  // A cancel seen while a file was measured ends the walk even if the
  // walk's own progress call no longer answers it.
  if (answer != 0 || cancelled) return answer != 0 ? answer : kCancelled;
  return kOk;
}

uint32_t CProfessionalRecovery::CarveSkipAtPosition() const {
  uint64_t next = identity_.firstSector + position_.rangeStart + position_.offset;
  uint64_t skip = carveFrom_ > next ? carveFrom_ - next : 0;
  return static_cast<uint32_t>(std::min<uint64_t>(skip, UINT32_MAX));
}

void CProfessionalRecovery::UpdateEstimate() {
  uint64_t now = SteadyMilliseconds();
  if (now - lastEstimateMs_ < kEstimateEveryMs || percentScale_ != 90) return;
  lastEstimateMs_ = now;
  uint64_t seconds = std::max<uint64_t>((now - startMs_) / 1000, 1);
  uint64_t rate = position_.sectorsDone * static_cast<uint64_t>(sectorSize_) / seconds;
  if (rate == 0) return;
  uint64_t left = total_ > position_.sectorsDone ? total_ - position_.sectorsDone : 0;
  secondsLeft_ = static_cast<int32_t>(std::min<uint64_t>(left * sectorSize_ / rate, INT32_MAX));
}

int CProfessionalRecovery::ReportWalk() {
  position_.filesFound = GetRecordCount();
  if (!onScan_) return 0;
  uint64_t done = std::min(position_.sectorsDone, total_);
  int32_t percent = total_ == 0 ? 110 : static_cast<int32_t>(10 + done * 100 / total_);
  return onScan_(userData_, percent, percentScale_, secondsLeft_, done, total_,
                 position_.filesFound, 0);
}

}  // namespace salvora
