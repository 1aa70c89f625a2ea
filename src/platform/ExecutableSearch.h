#pragma once
// Finding the programs the preview starts: our own helper beside the running
// executable, and players or converters on PATH.
#include <filesystem>
#include <string>

namespace salvora {

// The folder of the running executable (/proc/self/exe); empty when unknown.
std::filesystem::path RunningExecutableFolder();

// The first executable file called `name` in the folders of $PATH (or the
// system default when PATH is unset); empty when there is none.
std::filesystem::path FindOnPath(const std::string& name);

bool IsExecutableFile(const std::filesystem::path& path);

}  // namespace salvora
