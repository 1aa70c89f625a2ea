#include "cli/ScanCommand.h"

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
#include "platform/DeviceStack.h"
#include "platform/ErrorCodes.h"
#include "platform/OutputFile.h"
#include "results/RecoveryNames.h"
#include "results/ScanHistory.h"
#include "storage/EngineSelection.h"

namespace salvora {
namespace {

SelectionResult SelectEngine(const ScanSource& source, bool deep) {
  if (source.kind == ScanSource::Kind::kImage)
    return CreateImageEngine(source.path, source.sourceTag, deep);
  return CreateDiskEngine(source.diskNumber, source.firstSector, source.sectorCount,
                          source.sourceTag, deep);
}

// Quick scans keep their results only for the life of the command.
class QuickRunFolder {
 public:
  QuickRunFolder(bool active, bool keep) : active_(active), keep_(keep) {
    if (active_) folder_ = ScanHistory::Instance().NewRunFolder();
  }
  ~QuickRunFolder() {
    if (!active_) return;
    if (keep_) {
      std::fprintf(stderr, "scan results kept in %s\n", folder_.c_str());
      return;
    }
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }

 private:
  bool active_, keep_;
  std::string folder_;
};

std::string RecoveryPathOf(IFileRecoveryParse& engine, const FoundRecord& record,
                           const ScanOptions& options) {
  if (!options.keepPaths) return GroupedRecoveryPath(options.destination, record);
  std::string folderPath;
  engine.GetRecordPath(record, folderPath);
  std::string root = options.destination;
  if (!root.empty() && root.back() == '/') root.pop_back();
  return UniquePath(root + "/" + SafeRelativeFolder(folderPath) + SafeRecordName(record));
}

// Copies every listed record; returns how many failed, or -1 on cancel.
int64_t RecoverAll(IFileRecoveryParse& engine, const std::vector<FoundRecord>& records,
                   const ScanOptions& options) {
  ProgressPrinter progress("Recovering");
  int64_t failed = 0;
  int depth = PathDepth(options.destination);
  for (const FoundRecord& record : records) {
    engine.SetCallbacks(nullptr, &ProgressPrinter::OnTransfer, &progress, 100);
    std::string path = RecoveryPathOf(engine, record, options);
    int result = engine.RecoverItem(&record, path, depth);
    if (result == kCancelled) return -1;
    if (result != kOk) {
      // A failure the engine already reported through the callback is
      // counted there; count the rest here.
      if (progress.FailedFiles() == static_cast<uint64_t>(failed)) {
        progress.Finish();
        std::fprintf(stderr, "failed: %s: %s\n", path.c_str(), ErrorMessage(result).c_str());
      }
      ++failed;
    }
  }
  progress.Finish();
  return failed;
}

void PrintRecords(IFileRecoveryParse& engine, const std::vector<FoundRecord>& records, bool json) {
  for (const FoundRecord& record : records) {
    std::string folderPath;
    engine.GetRecordPath(record, folderPath);
    std::string line = json ? RecordJson(record, folderPath) : RecordLine(record, folderPath);
    std::fprintf(stdout, "%s\n", line.c_str());
  }
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

// What one volume's scan gave.
struct VolumeOutcome {
  int exitCode = kExitOk;
  size_t filesListed = 0;
  std::vector<FoundRecord> records;
};

VolumeOutcome ScanVolume(const ScanSource& volume, const std::string& label,
                         const std::string& filter, const ScanOptions& options, bool recover) {
  VolumeOutcome outcome;
  SelectionResult selection = SelectEngine(volume, options.deep);
  if (!selection.engine) {
    std::fprintf(stderr, "salvora: cannot scan %s: %s\n", label.c_str(), selection.message.c_str());
    outcome.exitCode = kExitUsage;
    return outcome;
  }
  IFileRecoveryParse& engine = *selection.engine;
  if (options.deep) PrepareDeepResume(engine, label, options.fresh);
  int scanResult;
  {
    ProgressPrinter progress(options.deep ? "Deep scan" : "Quick scan");
    engine.SetCallbacks(&ProgressPrinter::OnScan, nullptr, &progress, 100);
    scanResult = engine.Scan(nullptr);
  }
  bool cancelled = scanResult == kCancelled;
  // Sectors the disk would not give cost only what they held: the rest of
  // what the scan found is still listed and recovered.
  bool unreadable = scanResult == kReadFault;
  if (scanResult != kOk && !cancelled && !unreadable) {
    std::fprintf(stderr, "salvora: the scan of %s failed: %s\n", label.c_str(),
                 ErrorMessage(scanResult).c_str());
    outcome.exitCode = kExitUsage;
    return outcome;
  }
  if (cancelled) std::fprintf(stderr, "scan cancelled; showing what was found so far\n");
  if (unreadable)
    std::fprintf(stderr, "salvora: parts of %s could not be read (%s); showing what was found\n",
                 label.c_str(), ErrorMessage(scanResult).c_str());
  engine.ListByType(filter, outcome.records);
  RecordFilter search(options.criteria);
  if (!search.TakesAll())
    std::erase_if(outcome.records, [&](const FoundRecord& record) { return !search.Takes(record); });
  if (recover && !cancelled) {
    int64_t failed = RecoverAll(engine, outcome.records, options);
    if (failed < 0) {
      outcome.exitCode = kExitCancelled;
      return outcome;
    }
    std::fprintf(stderr, "recovered %zu of %zu files from %s into %s\n",
                 outcome.records.size() - static_cast<size_t>(failed), outcome.records.size(),
                 label.c_str(), options.destination.c_str());
    if (failed > 0) outcome.exitCode = kExitSomeFailed;
  } else {
    PrintRecords(engine, outcome.records, options.json);
  }
  if (unreadable && outcome.exitCode == kExitOk) outcome.exitCode = kExitSomeFailed;
  if (cancelled) outcome.exitCode = kExitCancelled;
  return outcome;
}

// The worst of two exit codes: cancel, then unusable, then partial failure.
int WorseExit(int a, int b) {
  for (int code : {kExitCancelled, kExitUsage, kExitSomeFailed})
    if (a == code || b == code) return code;
  return kExitOk;
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
  QuickRunFolder runFolder(!options.deep, options.keepResults);
  std::vector<ScanSource> volumes = ScanVolumes(source, options.deep);
  std::vector<FoundRecord> all;
  int exitCode = kExitOk;
  bool anyScanned = false;
  for (const ScanSource& volume : volumes) {
    ScanOptions volumeOptions = options;
    std::string label = volumes.size() == 1        ? options.source
                        : volume.shownName.empty() ? volume.path
                                                   : volume.shownName;
    // Several volumes of one disk keep their trees apart.
    if (volumes.size() > 1 && options.keepPaths)
      volumeOptions.destination += "/partition" + std::to_string(volume.sourceTag);
    VolumeOutcome outcome = ScanVolume(volume, label, filter, volumeOptions, recover);
    if (all.empty())
      all = std::move(outcome.records);
    else
      all.insert(all.end(), outcome.records.begin(), outcome.records.end());
    anyScanned = anyScanned || outcome.exitCode != kExitUsage;
    // On a partitioned disk a volume no engine can read is reported and
    // passed over; only a disk where nothing could be scanned fails.
    if (outcome.exitCode != kExitUsage || volumes.size() == 1)
      exitCode = WorseExit(exitCode, outcome.exitCode);
    if (outcome.exitCode == kExitCancelled) break;
  }
  if (!anyScanned) return kExitUsage;
  PrintGroupSummary(options.json || recover ? stderr : stdout, all);
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
