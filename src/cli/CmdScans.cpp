// `salvora scans`: the saved deep scans that a later deep scan of the same
// unchanged source resumes, and `--forget N` to drop one with its results.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/ExitCodes.h"
#include "platform/DataFolders.h"
#include "results/ScanHistory.h"

namespace salvora {
namespace {

std::string SourceOf(const ScanHistoryEntry& entry) {
  std::string image = EntryImagePath(entry);
  if (!image.empty()) return image;
  return "disk " + std::to_string(entry.key1) + ", sectors " +
         std::to_string(EntryFirstSector(entry)) + " + " + std::to_string(EntrySectorCount(entry));
}

void PrintEntry(size_t number, const ScanHistoryEntry& entry) {
  ScanPosition position = PositionOf(entry);
  uint64_t sectors = EntrySectorCount(entry);
  uint64_t percent = sectors == 0 ? 0 : position.sectorsDone * 100 / sectors;
  std::printf("%zu  %s\n   walked %" PRIu64 " sectors (%" PRIu64 "%% of the volume), %" PRIu64
              " files found\n   results in %s\n",
              number, SourceOf(entry).c_str(), position.sectorsDone, percent > 100 ? 100 : percent,
              position.filesFound, EntryResultFolder(entry).c_str());
}

int RunScans(size_t forget) {
  ScanHistory& history = ScanHistory::Instance();
  const auto& entries = history.Entries();
  if (forget != 0) {
    if (forget > entries.size()) {
      std::fprintf(stderr, "salvora: there is no saved deep scan number %zu\n", forget);
      return kExitUsage;
    }
    std::string folder = EntryResultFolder(entries[forget - 1]);
    std::string source = SourceOf(entries[forget - 1]);
    history.RemoveEntryWithFolder(folder);
    std::fprintf(stderr, "forgot the saved deep scan of %s\n", source.c_str());
    return kExitOk;
  }
  if (entries.empty()) std::printf("no saved deep scans\n");
  for (size_t i = 0; i < entries.size(); ++i) PrintEntry(i + 1, entries[i]);
  return kExitOk;
}

}  // namespace

void AddScansCommand(CLI::App& app, int& exitCode) {
  static size_t forget = 0;
  static std::string scanData;
  CLI::App* command =
      app.add_subcommand("scans", "list the saved deep scans that the same command resumes");
  command->add_option("--forget", forget, "remove saved scan N and its results")
      ->check(CLI::PositiveNumber);
  command->add_option("--scan-data", scanData,
                      "the folder a scan was told to keep its data in (--scan-data of scan)");
  command->callback([&exitCode] {
    UseScanLogFolder(scanData);
    exitCode = RunScans(forget);
  });
}

}  // namespace salvora
