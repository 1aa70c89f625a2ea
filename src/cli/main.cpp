#include <CLI/CLI.hpp>

#include "SalvoraVersion.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"

int main(int argc, char** argv) {
  CLI::App app{"salvora: finds deleted and lost files on disks, partitions and disk images"};
  app.set_version_flag("--version", "salvora " SALVORA_VERSION);
  app.require_subcommand(1);
  int exitCode = salvora::kExitOk;
  salvora::AddInfoCommand(app, exitCode);
  salvora::AddScanCommands(app, exitCode);
  salvora::AddDisksCommand(app, exitCode);
  salvora::AddImageCommand(app, exitCode);
  salvora::AddScansCommand(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int code = app.exit(error);
    return code == 0 ? 0 : salvora::kExitUsage;
  }
  return exitCode;
}
