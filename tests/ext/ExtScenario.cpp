#include "ext/ExtScenario.h"

#include <gtest/gtest.h>

#include <sstream>

namespace salvora::test {

ExtScenario MakeExtScenario(const TempDir& dir, const ExtScenarioSpec& spec) {
  ExtScenario scenario;
  if (!CanUseLoopDevices()) {
    scenario.skipReason =
        "writing and deleting through the kernel needs root and loop devices for mount -o loop";
    return scenario;
  }
  if (!HaveCommand("mkfs.ext4")) {
    scenario.skipReason = "mkfs.ext4 (e2fsprogs) is not installed";
    return scenario;
  }
  scenario.image = dir / "volume.img";
  std::string mount = dir / "mnt", sums = dir / "sums";
  std::string removal, debugfsRemoval;
  for (const std::string& path : spec.deleted) {
    removal += " rm -r " + Quote(path) + ";";
    debugfsRemoval += " debugfs -w -R " + Quote("rm \"/" + path + "\"") + " " +
                      Quote(scenario.image) + " >/dev/null 2>&1;";
  }
  std::string listing;
  for (const std::string& path : spec.deleted)
    listing += " find " + Quote(path) + " -type f -exec sha256sum {} + >> " + Quote(sums) + ";";
  std::string script =
      "set -e; truncate -s " + std::to_string(spec.megabytes) + "M " + Quote(scenario.image) +
      "; " + spec.mkfs + " " + Quote(scenario.image) + " >/dev/null; mkdir -p " + Quote(mount) +
      "; mount -o loop " + Quote(scenario.image) + " " + Quote(mount) + "; cd " + Quote(mount) +
      "; trap 'cd /; umount " + Quote(mount) + " 2>/dev/null || true' EXIT; " + spec.populate +
      "\nsync; : > " + Quote(sums) + ";" + listing +
      (spec.removeWithDebugfs ? std::string() : removal) + " sync; " + spec.afterDeletion +
      "\nsync; cd /; umount " + Quote(mount) + ";" +
      (spec.removeWithDebugfs ? debugfsRemoval : std::string());
  std::string output;
  if (Run("bash -c " + Quote(script), &output) != 0) {
    ADD_FAILURE() << "making the ext volume failed: " << output;
    scenario.skipReason = "the volume could not be made";
    return scenario;
  }
  std::istringstream lines(ReadFile(sums));
  // "<64 hex digits>  <path>", the path with spaces as they are.
  for (std::string line; std::getline(lines, line);)
    if (line.size() > 66) scenario.deleted[line.substr(66)] = line.substr(0, 64);
  return scenario;
}

int RunSalvora(const TempDir& data, const std::string& arguments, std::string* output) {
  return Run("SALVORA_DATA_DIR=" + Quote(data.path()) + " " + Quote(SalvoraBinary()) + " " +
                 arguments,
             output);
}

}  // namespace salvora::test
