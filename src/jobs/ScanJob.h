#pragma once
// The scan of one or more volumes, one after the other, each by a new
// engine: quick (the file system's own records) or deep (the volume walked
// sector by sector, continuing a saved, interrupted deep scan of it when
// there is one). Each source ends complete, partial (with the stretches the
// disk would not give), failed (no engine could read it) or cancelled.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jobs/JobObserver.h"
#include "jobs/JobReport.h"
#include "jobs/JobSource.h"
#include "results/ScanHistory.h"
#include "storage/IFileRecoveryParse.h"

namespace salvora {

struct ScanJobOptions {
  bool deep = false;
  // Deep scans: asked, on the job's thread, when a source holds a saved,
  // interrupted scan; true continues it, false forgets it and starts afresh.
  // Without it the saved scan is continued.
  std::function<bool(size_t step, const ScanPosition& saved)> keepSavedScan;
  // Ends the job at the first source for which no engine can be made;
  // otherwise that source is reported failed and the next one scanned.
  bool stopAtUnusableSource = false;
};

struct ScanItem {
  JobSource source;
  // The source's engine. One left here by an earlier scan is dropped before
  // the new one is made, since both would use the saved scan's files; the
  // job leaves the new one here (none when it failed). A source the job did
  // not reach keeps what it had.
  std::unique_ptr<IFileRecoveryParse> engine;
  // What the job did with it (each run starts these afresh).
  bool reached = false;
  bool resumed = false;   // a saved deep scan was continued
  std::string runFolder;  // quick scans: the folder holding the results
  JobReport report;
};

// Scans every item in order; the report takes in every item's report.
JobReport RunScanJob(std::vector<ScanItem>& items, const ScanJobOptions& options,
                     JobObserver& observer);

}  // namespace salvora
