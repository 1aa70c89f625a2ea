#include "jobs/ScanJob.h"

#include "deep/ProfessionalRecovery.h"
#include "platform/DeviceStack.h"
#include "platform/ErrorCodes.h"
#include "storage/UnreadAreaReport.h"

namespace salvora {
namespace {

struct ScanRelay {
  JobObserver& observer;
  size_t step;

  static int OnScan(void* self, int32_t percent, int32_t scale, int32_t secondsLeft,
                    uint64_t sectorsDone, uint64_t sectorsTotal, uint64_t filesFound, int32_t) {
    auto* relay = static_cast<ScanRelay*>(self);
    JobProgress progress;
    progress.step = relay->step;
    progress.percent = static_cast<int32_t>(int64_t{percent} * scale / 100);
    progress.secondsLeft = secondsLeft;
    progress.sectorsDone = sectorsDone;
    progress.sectorsTotal = sectorsTotal;
    progress.filesFound = filesFound;
    return relay->observer.OnProgress(progress) ? kOk : kCancelled;
  }
};

// Shows that the step begins; false when the user wants the job stopped.
bool MayStart(JobObserver& observer, size_t step) {
  JobProgress progress;
  progress.step = step;
  return observer.OnProgress(progress);
}

// A deep engine opened on a source with a saved, interrupted scan continues
// it unless the user would rather start afresh.
void SettleSavedScan(ScanItem& item, size_t step, const ScanJobOptions& options) {
  auto* deep = dynamic_cast<CProfessionalRecovery*>(item.engine.get());
  if (!deep || !deep->ResumesSavedScan()) return;
  item.resumed = !options.keepSavedScan || options.keepSavedScan(step, deep->SavedPosition());
  if (!item.resumed) deep->DiscardSavedScan();
}

void NoteScanResult(ScanItem& item, int result) {
  JobReport& report = item.report;
  if (const auto* areas = dynamic_cast<const UnreadAreaReport*>(item.engine.get()))
    areas->AddUnreadAreas(report.unreadAreas, report.unreadLeftOut);
  report.itemsDone = 1;
  // Sectors the disk would not give cost only what they held: the rest of
  // what the scan found is kept, and the gaps are told.
  if (result == kCancelled)
    report.Worsen(JobOutcome::kCancelled, result);
  else if (result == kReadFault || (result == kOk && !report.unreadAreas.empty()))
    report.Worsen(JobOutcome::kPartial, kReadFault);
  else if (result != kOk)
    report.Worsen(JobOutcome::kFailed, result);
}

// Scans one item; false when the job must end here.
bool ScanOne(ScanItem& item, size_t step, const ScanJobOptions& options, JobObserver& observer) {
  item.reached = true;
  item.engine.reset();
  // A volume in use is flushed first, so its structures read as the system
  // last wrote them; a hung mount then holds up this worker, not a window.
  FlushMountsUsingSource(item.source.IsImage() ? item.source.imagePath : item.source.diskPath);
  SelectionResult selection = SelectSourceEngine(item.source, options.deep);
  if (!selection.engine) {
    int error = selection.error != kOk ? selection.error : kNotSupported;
    const JobSource& source = item.source;
    item.report.failedItems.push_back({source.IsImage() ? source.imagePath : source.diskPath, error});
    item.report.Worsen(JobOutcome::kFailed, error);
    item.report.message = selection.message;
    return !options.stopAtUnusableSource;
  }
  item.engine = std::move(selection.engine);
  if (options.deep)
    SettleSavedScan(item, step, options);
  else
    item.runFolder = ScanHistory::Instance().NewRunFolder();
  if (!MayStart(observer, step)) {
    item.report.Worsen(JobOutcome::kCancelled, kCancelled);
    return false;
  }
  ScanRelay relay{observer, step};
  item.engine->SetCallbacks(&ScanRelay::OnScan, nullptr, &relay, 100);
  int result = item.engine->Scan(nullptr);
  item.engine->SetCallbacks(nullptr, nullptr, nullptr, 100);
  NoteScanResult(item, result);
  return result != kCancelled;
}

}  // namespace

JobReport RunScanJob(std::vector<ScanItem>& items, const ScanJobOptions& options,
                     JobObserver& observer) {
  JobReport report;
  for (ScanItem& item : items) {
    item.reached = item.resumed = false;
    item.runFolder.clear();
    item.report = JobReport();
  }
  // A cancel is noticed once the next source's engine is made (so that the
  // engine holds what its scan found up to then), at the latest by the
  // scan's first figures.
  for (size_t step = 0; step < items.size(); ++step) {
    bool goOn = ScanOne(items[step], step, options, observer);
    report.Absorb(items[step].report);
    if (!goOn) break;
  }
  return report;
}

}  // namespace salvora
