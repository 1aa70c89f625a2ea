#include "storage/EngineSelection.h"

#include <vector>

#include "platform/BlockDevices.h"
#include "platform/ErrorCodes.h"
#include "storage/EngineFactories.h"
#include "storage/ImageDisks.h"
#include "storage/SectorSource.h"

namespace salvora {
namespace {

std::unique_ptr<IFileRecoveryParse> BuildEngine(VolumeClass volumeClass, bool deepMode) {
  if (deepMode) return MakeDeepEngine();
  switch (volumeClass) {
    case VolumeClass::kFat:
      return MakeQuickFatEngine();
    case VolumeClass::kExfat:
      return MakeQuickExfatEngine();
    case VolumeClass::kNtfs:
      return MakeQuickNtfsEngine();
    case VolumeClass::kExt:
      return MakeQuickExtEngine();
    case VolumeClass::kOther:
      return nullptr;
  }
  return nullptr;
}

// Reads the 16 KiB probe at a byte offset. False (with a reason) when the
// source is shorter or unreadable. A deep scan needs no probe: a disk whose
// first sectors fail can still be searched sector by sector, so in deep
// mode only a source too short to hold a probe ends the selection.
bool ReadProbe(RandomAccessFile& file, uint64_t offset, bool deepMode,
               std::vector<uint8_t>& probe, SelectionResult& result) {
  probe.assign(kProbeBytes, 0);
  uint64_t got = 0;
  if (ReadChunked(file, probe.data(), offset, kProbeBytes, got) == kOk && got == kProbeBytes)
    return true;
  result.error = kReadFault;
  result.message = "the first 16 KiB of the volume cannot be read";
  bool tooShort = file.Size() < offset || file.Size() - offset < kProbeBytes;
  if (!deepMode || tooShort) return false;
  probe.assign(kProbeBytes, 0);
  return true;
}

void ExplainMissingEngine(SelectionResult& result, bool deepMode) {
  if (result.engine) return;
  if (result.volumeClass == VolumeClass::kOther && !deepMode)
    result.message =
        "no FAT, exFAT, NTFS or ext file system was found; a deep scan can still look for "
        "files";
  else
    result.message = std::string("scanning ") + VolumeClassName(result.volumeClass) +
                     " volumes in this mode is not available in this build";
}

}  // namespace

// A volume whose first blocks are lost may still be ext: its backup
// superblocks lie in later groups, a bounded number of small reads away.
VolumeClass ClassifyVolumeAt(RandomAccessFile& file, uint64_t volumeOffset,
                             const std::vector<uint8_t>& probe) {
  VolumeClass found = ClassifyVolume(probe.data(), probe.size());
  if (found != VolumeClass::kOther) return found;
  uint64_t offsets[kExtBackupProbes];
  ExtBackupSuperblockOffsets(offsets);
  std::vector<uint8_t> copy(1024);
  for (uint64_t offset : offsets) {
    uint64_t got = 0;
    if (ReadChunked(file, copy.data(), volumeOffset + offset, copy.size(), got) == kOk &&
        got == copy.size() && IsExtBackupSuperblock(copy.data(), offset))
      return VolumeClass::kExt;
  }
  return found;
}

SelectionResult CreateDiskEngine(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                                 uint16_t sourceTag, bool deepMode) {
  SelectionResult result;
  std::string path;
  if (!DiskNumberPath(diskNumber, path)) {
    result.error = kFileNotFound;
    result.message = "there is no disk number " + std::to_string(diskNumber);
    return result;
  }
  std::unique_ptr<RandomAccessFile> file;
  result.error = OpenRandomAccessFile(path, file, &result.message);
  if (result.error != kOk) return result;
  std::vector<uint8_t> probe;
  uint64_t volumeOffset = firstSector * file->LogicalSectorSize();
  if (!ReadProbe(*file, volumeOffset, deepMode, probe, result)) return result;
  result.volumeClass = ClassifyVolumeAt(*file, volumeOffset, probe);
  result.engine = BuildEngine(result.volumeClass, deepMode);
  if (result.engine) result.engine->OpenDisk(diskNumber, firstSector, sectorCount, sourceTag);
  ExplainMissingEngine(result, deepMode);
  return result;
}

SelectionResult CreateImageEngine(const std::string& imagePath, uint16_t sourceTag, bool deepMode) {
  SelectionResult result;
  std::unique_ptr<RandomAccessFile> file;
  result.error = OpenRandomAccessFile(imagePath, file, &result.message);
  if (result.error != kOk) return result;
  std::vector<uint8_t> probe;
  if (!ReadProbe(*file, 0, deepMode, probe, result)) return result;
  result.volumeClass = ClassifyVolumeAt(*file, 0, probe);
  result.engine = BuildEngine(result.volumeClass, deepMode);
  if (result.engine) result.engine->OpenImage(imagePath, sourceTag);
  ExplainMissingEngine(result, deepMode);
  return result;
}

}  // namespace salvora
