#include "cli/ScanCommand.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "cli/Cancel.h"
#include "cli/Commands.h"
#include "cli/DeepResume.h"
#include "cli/ExitCodes.h"
#include "cli/Progress.h"
#include "cli/RecordOutput.h"
#include "cli/ScanPlacement.h"
#include "cli/ScanVolumes.h"
#include "cli/SourceSpec.h"
#include "cli/TypeFilter.h"
#include "jobs/CollectJob.h"
#include "jobs/RecoverJob.h"
#include "jobs/ScanJob.h"
#include "platform/BlockDevices.h"
#include "platform/DeviceStack.h"
#include "platform/ErrorCodes.h"
#include "platform/OutputFile.h"
#include "results/RecordFilter.h"
#include "results/RecoveryNames.h"

namespace salvora {
namespace {

// Quick scans keep their results only for the life of the command. Declared
// before the engines, so that they are closed before their folders go.
class QuickRunFolders {
 public:
  explicit QuickRunFolders(bool keep) : keep_(keep) {}
  ~QuickRunFolders() {
    for (const std::string& folder : folders_) {
      if (keep_) {
        std::fprintf(stderr, "scan results kept in %s\n", folder.c_str());
        continue;
      }
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    }
  }
  void Add(const std::string& folder) {
    if (!folder.empty()) folders_.push_back(folder);
  }

 private:
  bool keep_;
  std::vector<std::string> folders_;
};

JobSource JobSourceOf(const ScanSource& volume) {
  JobSource source;
  if (volume.kind == ScanSource::Kind::kImage) {
    source.imagePath = volume.path;
  } else {
    source.diskPath = volume.diskPath;
    source.listedDiskNumber = volume.diskNumber;
    source.firstSector = volume.firstSector;
    source.sectorCount = volume.sectorCount;
  }
  source.sourceTag = volume.sourceTag;
  return source;
}

bool CheckDestination(const ScanOptions& options, const ScanSource& source) {
  const std::string& read = source.deviceToProtect.empty() ? source.path : source.deviceToProtect;
  if (PlaceTouchesSource(options.destination, read)) {
    std::fprintf(stderr,
                 "salvora: %s lies on the disk being recovered; choose a folder on another disk so "
                 "that nothing recoverable is overwritten\n",
                 options.destination.c_str());
    return false;
  }
  if (CreateFolders(options.destination) != kOk) {
    std::fprintf(stderr, "salvora: cannot create %s\n", options.destination.c_str());
    return false;
  }
  return true;
}

// At most this many stretches are named; the rest are counted.
constexpr size_t kAreasShown = 10;

void PrintUnreadAreas(const JobReport& report) {
  size_t shown = std::min(report.unreadAreas.size(), kAreasShown);
  for (size_t i = 0; i < shown; ++i) {
    const ByteRange& area = report.unreadAreas[i];
    std::fprintf(stderr, "  not read: %" PRIu64 " bytes from byte %" PRIu64 "\n", area.length,
                 area.offset);
  }
  uint64_t more = report.unreadAreas.size() - shown + report.unreadLeftOut;
  if (more != 0) std::fprintf(stderr, "  and %" PRIu64 " more stretches not read\n", more);
}

// Tells what became of one volume's scan; its exit code.
int TellScanOutcome(const ScanItem& item, const std::string& label) {
  const JobReport& report = item.report;
  switch (report.outcome) {
    case JobOutcome::kComplete:
      return kExitOk;
    case JobOutcome::kCancelled:
      std::fprintf(stderr, "scan cancelled; showing what was found so far\n");
      return kExitCancelled;
    case JobOutcome::kPartial:
      std::fprintf(stderr, "salvora: parts of %s could not be read (%s); showing what was found\n",
                   label.c_str(), ErrorMessage(report.error).c_str());
      PrintUnreadAreas(report);
      return kExitSomeFailed;
    case JobOutcome::kFailed:
      if (!item.engine)
        std::fprintf(stderr, "salvora: cannot scan %s: %s\n", label.c_str(),
                     report.message.c_str());
      else
        std::fprintf(stderr, "salvora: the scan of %s failed: %s\n", label.c_str(),
                     ErrorMessage(report.error).c_str());
      return kExitUsage;
  }
  return kExitUsage;
}

// Whether what the volume's engine found is listed.
bool Listed(const ScanItem& item) {
  return item.engine && item.report.outcome != JobOutcome::kFailed;
}

void PrintRecords(const Collection& found, bool json) {
  for (uint32_t i = 0; i < found.records.Size(); ++i) {
    FoundRecord record = found.records.Full(i);
    std::string line =
        json ? RecordJson(record, found.paths[i]) : RecordLine(record, found.paths[i]);
    std::fprintf(stdout, "%s\n", line.c_str());
  }
}

// Copies every listed file; its exit code.
int RecoverListed(const std::vector<ScanItem>& items, const Collection& found,
                  const ScanOptions& options) {
  std::vector<RecoverySource> sources;
  for (const ScanItem& item : items) {
    if (!Listed(item)) continue;
    RecoverySource source{item.source.sourceTag, item.engine.get(), {}};
    // Several volumes of one disk keep their trees apart.
    if (items.size() > 1 && options.keepPaths)
      source.destination =
          options.destination + "/partition" + std::to_string(item.source.sourceTag);
    sources.push_back(std::move(source));
  }
  ProgressPrinter progress("Recovering", false);
  JobReport report =
      RunRecoverJob(found.records, sources, {options.destination, options.keepPaths}, progress);
  progress.Finish();
  if (report.outcome == JobOutcome::kCancelled) return kExitCancelled;
  // An engine may tell of a file as copied and then fail it: count files,
  // not notes.
  uint64_t failed = std::min<uint64_t>(report.failedItems.size(), found.records.Size());
  uint64_t recovered = found.records.Size() - failed;
  std::fprintf(stderr, "recovered %" PRIu64 " of %zu files from %s into %s\n", recovered,
               found.records.Size(), options.source.c_str(), options.destination.c_str());
  return report.outcome == JobOutcome::kComplete ? kExitOk : kExitSomeFailed;
}

// The worst of two exit codes: cancel, then unusable, then partial failure.
int WorseExit(int a, int b) {
  for (int code : {kExitCancelled, kExitUsage, kExitSomeFailed})
    if (a == code || b == code) return code;
  return kExitOk;
}

std::string LabelOf(const ScanSource& volume, const ScanOptions& options, size_t volumes) {
  if (volumes == 1) return options.source;
  return volume.shownName.empty() ? volume.path : volume.shownName;
}

}  // namespace

int RunScan(const ScanOptions& given, bool recover) {
  InstallCancelHandler();
  ScanOptions options = given;
  ScanSource source;
  std::string reason, filter;
  if (!BuildCriteria(options.search, options.criteria, reason) ||
      !ResolveSource(options.source, source, reason) ||
      !BuildTypeFilter(options.types, filter, reason)) {
    std::fprintf(stderr, "salvora: %s\n", reason.c_str());
    return kExitUsage;
  }
  if (recover && !CheckDestination(options, source)) return kExitUsage;
  if (!ChooseScanDataFolder(source, options.scanData, options.deep)) return kExitUsage;
  WarnWhenMounted(source, ImageFirstAdvice(source));
  // The search narrows what is listed and recovered, as the type filter does.
  auto search = std::make_shared<RecordFilter>(options.criteria);
  if (!search->TakesAll())
    options.keep = [search](const FoundRecord& record) { return search->Takes(record); };
  std::vector<ScanSource> volumes = ScanVolumes(source, options.deep);
  std::vector<std::string> labels;
  QuickRunFolders runFolders(options.keepResults);
  std::vector<ScanItem> items(volumes.size());
  for (size_t i = 0; i < volumes.size(); ++i) {
    items[i].source = JobSourceOf(volumes[i]);
    labels.push_back(LabelOf(volumes[i], options, volumes.size()));
  }
  ScanJobOptions scanOptions;
  scanOptions.deep = options.deep;
  scanOptions.keepSavedScan = DeepResumeChoice(labels, options.fresh);
  {
    ProgressPrinter progress(options.deep ? "Deep scan" : "Quick scan", true);
    RunScanJob(items, scanOptions, progress);
  }
  int exitCode = kExitOk;
  bool anyScanned = false;
  std::vector<CollectSource> scanned;
  for (size_t i = 0; i < items.size(); ++i) {
    runFolders.Add(items[i].runFolder);
    if (!items[i].reached) continue;
    int volumeExit = TellScanOutcome(items[i], labels[i]);
    anyScanned = anyScanned || volumeExit != kExitUsage;
    // On a partitioned disk a volume no engine can read is reported and
    // passed over; only a disk where nothing could be scanned fails.
    if (volumeExit != kExitUsage || items.size() == 1) exitCode = WorseExit(exitCode, volumeExit);
    if (Listed(items[i])) scanned.push_back({items[i].engine.get(), items[i].source.sourceTag});
  }
  if (!anyScanned) return kExitUsage;
  Collection found;
  QuietObserver quiet;
  RunCollectJob(scanned, {filter, options.keep, true}, quiet, found);
  if (recover && exitCode != kExitCancelled)
    exitCode = WorseExit(exitCode, RecoverListed(items, found, options));
  else
    PrintRecords(found, options.json);
  PrintGroupSummary(options.json || recover ? stderr : stdout, found.records);
  return exitCode;
}

void AddScanCommands(CLI::App& app, int& exitCode) {
  static ScanOptions options;
  for (bool recover : {false, true}) {
    CLI::App* command =
        app.add_subcommand(recover ? "recover" : "scan",
                           recover ? "scan SOURCE and copy the files found into a folder"
                                   : "scan SOURCE and list the deleted and lost files found");
    auto* quick = command->add_flag("--quick", options.quick,
                                    "list deleted files from the file system (default)");
    command->add_flag("--deep", options.deep, "also rebuild formatted volumes and carve files")
        ->excludes(quick);
    command->add_option(
        "--types", options.types,
        "extensions (jpg,png) or groups (photo,audio,video,document,archive,other)");
    AddSearchOptions(*command, options.search);
    command->add_flag("--fresh", options.fresh,
                      "deep: discard a saved, interrupted scan of SOURCE instead of resuming it");
    command->add_flag("--keep-results", options.keepResults,
                      "keep a quick scan's result store instead of deleting it");
    command->add_option("--scan-data", options.scanData,
                        "folder for the scan's own data, on a disk other than SOURCE's");
    if (recover) {
      command->add_option("--to", options.destination, "folder to copy the files into")->required();
      command->add_flag("--keep-paths", options.keepPaths,
                        "rebuild the original folders instead of sorting files by type");
    } else {
      command->add_flag("--json", options.json, "one JSON object per found file on stdout");
    }
    command->add_option("SOURCE", options.source, "image file, disk or partition node")->required();
    command->callback([&exitCode, recover] { exitCode = RunScan(options, recover); });
  }
}

}  // namespace salvora
