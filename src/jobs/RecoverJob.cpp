#include "jobs/RecoverJob.h"

#include <functional>
#include <new>

#include "platform/ErrorCodes.h"
#include "results/RecoveryNames.h"

namespace salvora {
namespace {

// Relays an engine's transfer progress and notes each file it finishes.
struct TransferRelay {
  JobObserver& observer;
  JobReport& report;
  bool fileReported = false;  // the engine told of a file of this record

  static int OnTransfer(void* self, int32_t percent, int32_t scale, int32_t errorCode,
                        const char* path) {
    auto* relay = static_cast<TransferRelay*>(self);
    JobProgress progress;
    progress.percent = static_cast<int32_t>(int64_t{percent} * scale / 100);
    progress.path = path ? path : "";
    if (!relay->observer.OnProgress(progress)) return kCancelled;
    if (progress.percent == 100) {
      relay->NoteFile(progress.path, errorCode);
      relay->fileReported = true;
    }
    return kOk;
  }

  void NoteFile(const std::string& path, int errorCode) {
    ++report.itemsDone;
    if (errorCode != kOk) report.AddFailure(path, errorCode);
    observer.OnFileDone(path, errorCode);
  }
};

const RecoverySource* SourceOf(const std::vector<RecoverySource>& sources,
                               const FoundRecord& record) {
  for (const RecoverySource& source : sources)
    if (source.key == record.sourceTag && source.engine) return &source;
  return nullptr;
}

std::string DestinationOf(const RecoverySource* source, const RecoverJobOptions& options) {
  std::string root = source && !source->destination.empty() ? source->destination
                                                            : options.destination;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::string TargetPath(const RecoverySource* source, const FoundRecord& record,
                       const RecoverJobOptions& options) {
  std::string root = DestinationOf(source, options);
  if (!options.keepPaths || !source) return GroupedRecoveryPath(root, record);
  std::string folderPath;
  source->engine->GetRecordPath(record, folderPath);
  return UniquePath(root + "/" + SafeRelativeFolder(folderPath) + SafeRecordName(record));
}

// The engine's copy of one record as a result code. An engine must answer
// with a code; one that throws anyway (out of memory on a hostile record,
// say) costs only that file.
int CopyOut(IFileRecoveryParse& engine, TransferRelay& relay, const FoundRecord& record,
            const std::string& path, int32_t depth) {
  if (engine.SetCallbacks(nullptr, &TransferRelay::OnTransfer, &relay, 100) != kOk)
    return kInvalidParameter;
  int result;
  try {
    result = engine.RecoverItem(&record, path, depth);
  } catch (const std::bad_alloc&) {
    result = kNotEnoughMemory;
  } catch (...) {
    result = kInvalidParameter;
  }
  engine.SetCallbacks(nullptr, nullptr, nullptr, 100);
  return result;
}

// Recovers `count` records, each given by `recordAt` when its turn comes.
JobReport RecoverEach(size_t count, const std::function<FoundRecord(size_t)>& recordAt,
                      const std::vector<RecoverySource>& sources, const RecoverJobOptions& options,
                      JobObserver& observer) {
  JobReport report;
  TransferRelay relay{observer, report};
  for (size_t i = 0; i < count; ++i) {
    const FoundRecord record = recordAt(i);
    const RecoverySource* source = SourceOf(sources, record);
    std::string path = TargetPath(source, record, options);
    relay.fileReported = false;
    int result = source ? CopyOut(*source->engine, relay, record, path,
                                  PathDepth(DestinationOf(source, options)))
                        : kInvalidParameter;
    if (result == kCancelled) {
      report.Worsen(JobOutcome::kCancelled, kCancelled);
      break;
    }
    // A file that failed before its engine said anything of it is still
    // told: a silent failure would pass for a success.
    if (result != kOk && !relay.fileReported) relay.NoteFile(path, result);
  }
  return report;
}

}  // namespace

JobReport RunRecoverJob(const std::vector<FoundRecord>& records,
                        const std::vector<RecoverySource>& sources,
                        const RecoverJobOptions& options, JobObserver& observer) {
  return RecoverEach(
      records.size(), [&](size_t i) { return records[i]; }, sources, options, observer);
}

JobReport RunRecoverJob(const RecordArena& records, const std::vector<RecoverySource>& sources,
                        const RecoverJobOptions& options, JobObserver& observer) {
  return RecoverEach(
      records.Size(), [&](size_t i) { return records.Full(static_cast<uint32_t>(i)); }, sources,
      options, observer);
}

}  // namespace salvora
