#include "jobs/CollectJob.h"

#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

struct ListRelay {
  JobObserver& observer;
  size_t step;

  static int OnList(void* self, int32_t percent, int32_t) {
    auto* relay = static_cast<ListRelay*>(self);
    JobProgress progress;
    progress.step = relay->step;
    progress.percent = percent;
    return relay->observer.OnProgress(progress) ? kOk : kCancelled;
  }
};

// Listing a folder path asks the store for each ancestor; a cancel is
// looked for every few thousand records.
constexpr size_t kPathsBetweenChecks = 4096;

bool ListPaths(IFileRecoveryParse& engine, size_t first, size_t step, JobObserver& observer,
               Collection& out) {
  out.paths.resize(first);
  out.paths.reserve(out.records.Size());
  JobProgress progress;
  progress.step = step;
  progress.percent = 100;
  for (size_t i = first; i < out.records.Size(); ++i) {
    std::string path;
    engine.GetRecordPath(out.records.Full(static_cast<uint32_t>(i)), path);
    out.paths.push_back(std::move(path));
    if ((i - first) % kPathsBetweenChecks == kPathsBetweenChecks - 1 &&
        !observer.OnProgress(progress))
      return false;
  }
  return true;
}

// Lists one source into `out`; false when the user cancelled.
bool CollectOne(const CollectSource& source, size_t step, const CollectJobOptions& options,
                JobObserver& observer, Collection& out, JobReport& report) {
  size_t first = out.records.Size();
  ListRelay relay{observer, step};
  if (ListRelay::OnList(&relay, 0, 0) != kOk) return false;
  source.engine->SetListCallback(&ListRelay::OnList, &relay);
  int result = source.engine->VisitByType(options.typeFilter, [&](const FoundRecord& listed) {
    FoundRecord record = listed;
    record.sourceTag = source.key;
    if (!options.keep || options.keep(record)) out.records.Add(record);
  });
  source.engine->SetListCallback(nullptr, nullptr);
  out.records.SortListing(first);
  report.itemsDone += out.records.Size() - first;
  if (result == kCancelled) return false;
  // A listing cut short by a store it could not read keeps what it gave.
  if (result != kOk && result != 1) report.Worsen(JobOutcome::kPartial, result);
  return !options.withPaths || ListPaths(*source.engine, first, step, observer, out);
}

}  // namespace

JobReport RunCollectJob(const std::vector<CollectSource>& sources,
                        const CollectJobOptions& options, JobObserver& observer, Collection& out) {
  JobReport report;
  for (size_t step = 0; step < sources.size(); ++step) {
    if (!sources[step].engine) continue;
    if (!CollectOne(sources[step], step, options, observer, out, report)) {
      report.Worsen(JobOutcome::kCancelled, kCancelled);
      break;
    }
  }
  if (options.withPaths) out.paths.resize(out.records.Size());
  return report;
}

}  // namespace salvora
