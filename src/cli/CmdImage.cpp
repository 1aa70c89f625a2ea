// `salvora image SOURCE TARGET.img`: a raw sector copy of a disk, partition
// or region, for scanning later instead of a disk that may not last.
#include <cinttypes>
#include <cstdio>

#include "cli/Cancel.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "cli/Progress.h"
#include "cli/ScanPlacement.h"
#include "cli/SourceSpec.h"
#include "imaging/ImageTargetCheck.h"
#include "jobs/ImageJob.h"
#include "platform/ErrorCodes.h"
#include "platform/OutputFile.h"

namespace salvora {
namespace {

struct ImageOptions {
  std::string source;
  std::string target;
  bool replace = false;
  bool skipErrors = false;
};

std::string Shell(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Where byte 0 of the image lies on the device that ddrescue would read: a
// region is read from its disk, everything else from its own node.
uint64_t MapOrigin(const ScanSource& source) {
  return source.kind == ScanSource::Kind::kRegion ? source.firstSector * source.sectorSize : 0;
}

std::string DdrescueCommand(const ScanSource& source, const std::string& target,
                            const std::string& mapfile) {
  std::string command = "ddrescue -d -r3";
  if (source.sectorSize != 512) command += " -b " + std::to_string(source.sectorSize);
  if (source.kind == ScanSource::Kind::kRegion)
    command += " -i " + std::to_string(MapOrigin(source)) + " -o 0 -s " +
               std::to_string(source.sectorCount * source.sectorSize);
  return command + " " + Shell(source.path) + " " + Shell(target) + " " + Shell(mapfile);
}

// Reads through the node the user named (or the disk node of a region), not
// through a disk number that a device plugged in meanwhile could move.
JobSource ImageSourceOf(const ScanSource& source) {
  JobSource job;
  if (source.kind == ScanSource::Kind::kImage)
    job.imagePath = source.path;
  else
    job.diskPath = source.path;
  job.firstSector = source.kind == ScanSource::Kind::kRegion ? source.firstSector : 0;
  job.sectorCount = source.sectorCount;
  return job;
}

bool TargetAllowed(const ScanSource& source, const ImageOptions& options) {
  if (PathExists(options.target) && !options.replace) {
    std::fprintf(stderr, "salvora: %s exists; add --yes to replace it\n", options.target.c_str());
    return false;
  }
  ImageSourceInfo info;
  if (source.kind == ScanSource::Kind::kImage)
    info.imagePath = source.path;
  else
    info.devicePath = source.path;
  info.sizeBytes = source.sectorCount * source.sectorSize;
  std::string message;
  if (CheckImageTarget(info, options.target, message) == TargetProblem::kNone) return true;
  std::fprintf(stderr, "salvora: %s\n", message.c_str());
  return false;
}

void ReportUnreadable(const ScanSource& source, const ImageOptions& options,
                      const ImageJobResult& image, const std::string& mapfile) {
  uint64_t badBytes = 0;
  for (const ByteRange& area : image.report.unreadAreas) badBytes += area.length;
  if (badBytes == 0) {
    std::fprintf(stderr, "every sector was read\n");
    return;
  }
  std::fprintf(stderr,
               "%" PRIu64
               " unreadable sectors were written as zeros; their list is in %s\n"
               "to try them again: %s\n",
               badBytes / image.sectorSize, mapfile.c_str(),
               DdrescueCommand(source, options.target, mapfile).c_str());
}

int RunImage(const ImageOptions& options) {
  InstallCancelHandler();
  ScanSource source;
  std::string reason;
  if (!ResolveSource(options.source, source, reason)) {
    std::fprintf(stderr, "salvora: %s\n", reason.c_str());
    return kExitUsage;
  }
  if (!TargetAllowed(source, options)) return kExitUsage;
  WarnWhenMounted(source, "for a faithful copy unmount it first");
  std::string mapfile = options.target + ".map";
  ImageJobInput input{ImageSourceOf(source), options.target,
                      {options.skipErrors, mapfile, MapOrigin(source)}};
  ImageJobResult image;
  {
    ProgressPrinter progress("Imaging", false);
    image = RunImageJob(input, progress);
  }
  if (options.skipErrors) ReportUnreadable(source, options, image, mapfile);
  uint64_t copiedSectors = image.copiedBytes / image.sectorSize;
  const JobReport& report = image.report;
  if (report.outcome == JobOutcome::kCancelled) {
    std::fprintf(stderr, "cancelled; %s holds the first %" PRIu64 " sectors\n",
                 options.target.c_str(), copiedSectors);
    return kExitCancelled;
  }
  if (report.outcome == JobOutcome::kFailed) {
    std::fprintf(stderr, "salvora: imaging %s failed after %" PRIu64 " sectors: %s\n",
                 options.source.c_str(), copiedSectors,
                 report.message.empty() ? ErrorMessage(report.error).c_str()
                                        : report.message.c_str());
    if (report.error == kReadFault && !options.skipErrors)
      std::fprintf(stderr, "run again with --skip-errors to copy around unreadable sectors\n");
    return kExitSomeFailed;
  }
  std::fprintf(stderr,
               "image complete: %" PRIu64 " sectors in %s\nto scan it: salvora scan --deep %s\n",
               copiedSectors, options.target.c_str(), Shell(options.target).c_str());
  return kExitOk;
}

}  // namespace

void AddImageCommand(CLI::App& app, int& exitCode) {
  static ImageOptions options;
  CLI::App* command = app.add_subcommand(
      "image", "copy a disk, partition or @N entry sector by sector into an image file");
  command->add_option("SOURCE", options.source, "disk or partition node, @N, or image file")
      ->required();
  command->add_option("TARGET", options.target, "image file to write (.img)")->required();
  command->add_flag("--yes", options.replace, "replace TARGET when it exists");
  command->add_flag("--skip-errors", options.skipErrors,
                    "write unreadable sectors as zeros, go on, and list them in TARGET.map "
                    "(a GNU ddrescue mapfile)");
  command->callback([&exitCode] { exitCode = RunImage(options); });
}

}  // namespace salvora
