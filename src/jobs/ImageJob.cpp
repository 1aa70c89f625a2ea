#include "jobs/ImageJob.h"

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

int OnImage(void* self, int32_t percent, uint64_t sectorsDone, uint64_t sectorsTotal,
            int32_t secondsLeft) {
  JobProgress progress;
  progress.percent = percent;
  progress.sectorsDone = sectorsDone;
  progress.sectorsTotal = sectorsTotal;
  progress.secondsLeft = secondsLeft;
  return static_cast<JobObserver*>(self)->OnProgress(progress) ? kOk : kCancelled;
}

// Opens what the source names: an image file, a device node, or a disk
// that only its number names.
int OpenSource(const JobSource& source, SectorSource& device, std::string& reason) {
  if (source.IsImage()) return device.OpenImage(source.imagePath, &reason);
  if (source.diskPath.rfind("/dev/", 0) == 0) return device.OpenDevice(source.diskPath, &reason);
  if (!source.diskPath.empty()) return device.OpenImage(source.diskPath, &reason);
  return device.OpenDisk(source.listedDiskNumber, &reason);
}

void NoteOutcome(const ImageJobInput& input, const ImageCopier& copier, int result,
                 std::string reason, JobReport& report) {
  // The copier counts unreadable stretches in image bytes; the user reads
  // them as places on the source.
  uint64_t origin = input.source.firstSector * copier.SectorSize();
  for (const ByteRange& range : copier.Map().Unreadable())
    report.unreadAreas.push_back({origin + range.offset, range.length});
  if (!report.unreadAreas.empty()) report.Worsen(JobOutcome::kPartial, kReadFault);
  if (result == kCancelled) {
    report.Worsen(JobOutcome::kCancelled, result);
  } else if (result != kOk) {
    report.Worsen(JobOutcome::kFailed, result);
    report.message = std::move(reason);
  }
}

}  // namespace

ImageJobResult RunImageJob(const ImageJobInput& input, JobObserver& observer) {
  ImageJobResult outcome;
  ImageCopier copier(&OnImage, &observer);
  copier.SetUnreadablePolicy(input.unreadable);
  SectorSource device;
  std::string reason;
  int result = OpenSource(input.source, device, reason);
  if (result == kOk)
    result = copier.RunFrom(device, input.source.firstSector, input.source.sectorCount,
                            input.target);
  NoteOutcome(input, copier, result, reason, outcome.report);
  outcome.copiedBytes = copier.CopiedBytes();
  // A source that never opened has no sector size of its own.
  if (copier.SectorSize() != 0) outcome.sectorSize = copier.SectorSize();
  outcome.report.itemsDone = outcome.copiedBytes / outcome.sectorSize;
  return outcome;
}

}  // namespace salvora
