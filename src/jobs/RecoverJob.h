#pragma once
// Copies chosen found files and folders, each through the engine that found
// it, into a destination folder: sorted into group folders by type, or
// under their original folders. Every file ends written or failed; a file
// that fails is listed with its error and the next one is copied.
#include <cstdint>
#include <string>
#include <vector>

#include "jobs/JobObserver.h"
#include "jobs/JobReport.h"
#include "results/FoundRecord.h"
#include "results/RecordArena.h"
#include "storage/IFileRecoveryParse.h"

namespace salvora {

struct RecoverySource {
  uint16_t key = 0;  // the source tag its records carry
  IFileRecoveryParse* engine = nullptr;
  // Where its files go; an empty one takes the job's destination.
  std::string destination;
};

struct RecoverJobOptions {
  std::string destination;  // the chosen folder
  // Rebuild each file's original folders instead of sorting by type.
  bool keepPaths = false;
};

// Recovers `records` in their order. The report's itemsDone counts the
// files written or failed; a record whose source is unknown, or whose
// engine fails without a word or throws, is a failed file too.
JobReport RunRecoverJob(const std::vector<FoundRecord>& records,
                        const std::vector<RecoverySource>& sources,
                        const RecoverJobOptions& options, JobObserver& observer);
// The same for records held compactly (a collection's).
JobReport RunRecoverJob(const RecordArena& records, const std::vector<RecoverySource>& sources,
                        const RecoverJobOptions& options, JobObserver& observer);

}  // namespace salvora
