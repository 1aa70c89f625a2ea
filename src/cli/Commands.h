#pragma once
// Each subcommand adds itself to the application; its callback stores the
// process exit code.
#include <CLI/CLI.hpp>

namespace salvora {

void AddInfoCommand(CLI::App& app, int& exitCode);
void AddScanCommands(CLI::App& app, int& exitCode);
void AddScansCommand(CLI::App& app, int& exitCode);
void AddDisksCommand(CLI::App& app, int& exitCode);
void AddImageCommand(CLI::App& app, int& exitCode);

}  // namespace salvora
