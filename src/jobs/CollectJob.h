#pragma once
// After a scan: every found file of the chosen types from each scanned
// source, as one list; optionally with each file's folder path, and only
// the files a further test keeps (a search by name, size or date).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jobs/JobObserver.h"
#include "jobs/JobReport.h"
#include "results/FoundRecord.h"
#include "results/RecordArena.h"
#include "storage/IFileRecoveryParse.h"

namespace salvora {

// Keeps a found file in a collection or a recovery when it answers true.
using RecordPredicate = std::function<bool(const FoundRecord&)>;

struct CollectSource {
  IFileRecoveryParse* engine = nullptr;  // sources without one are passed over
  // The source's key in this session: every collected record carries it as
  // its source tag, so that a recovery finds the engine again (a resumed
  // deep scan's records carry the tag of the session that found them).
  uint16_t key = 0;
};

struct CollectJobOptions {
  std::string typeFilter;  // the engines' type filter ("*.jpg|*.png"); empty: none
  RecordPredicate keep;      // unset: every listed file
  bool withPaths = false;  // also each file's folder path, from its engine
};

struct Collection {
  RecordArena records;             // a million found files are held compactly
  std::vector<std::string> paths;  // one per record, when asked for
};

// Appends what each source lists to `out`; each source is one step.
JobReport RunCollectJob(const std::vector<CollectSource>& sources,
                        const CollectJobOptions& options, JobObserver& observer, Collection& out);

}  // namespace salvora
