#include "ext/ExtScenario.h"

#include <gtest/gtest.h>

#include <sstream>

namespace salvora::test {
namespace {

void ReadSums(const std::string& sums, ExtScenario& scenario) {
  // "<64 hex digits>  <path>", the path with spaces as they are.
  std::istringstream lines(ReadFile(sums));
  for (std::string line; std::getline(lines, line);)
    if (line.size() > 66) scenario.deleted[line.substr(66)] = line.substr(0, 64);
}

// Without root: the tree is made in a folder, put on the volume by mkfs
// itself, and removed by debugfs, entry by entry, deepest first. Empty
// files are not expected back: deleted without a journal, nothing tells
// one from a file whose content is lost.
ExtScenario MakeWithDebugfs(const TempDir& dir, const ExtScenarioPlan& plan) {
  ExtScenario scenario;
  scenario.image = dir / "volume.img";
  std::string tree = dir / "tree", sums = dir / "sums", commands = dir / "commands";
  std::string listing, removal;
  for (const std::string& path : plan.deleted) {
    listing += " find " + Quote(path) + " -type f -size +0 -exec sha256sum {} + >> " +
               Quote(sums) + ";";
    removal += " find " + Quote(path) +
               " -depth \\( -type d -printf 'rmdir \"/%p\"\\n' -o -printf 'rm \"/%p\"\\n' \\) >> " +
               Quote(commands) + ";";
  }
  std::string script = "set -e; mkdir -p " + Quote(tree) + "; cd " + Quote(tree) + "; " +
                       plan.populate + "\n: > " + Quote(sums) + "; : > " + Quote(commands) + ";" +
                       listing + removal + " truncate -s " + std::to_string(plan.megabytes) +
                       "M " + Quote(scenario.image) + "; " + plan.mkfs + " -d " + Quote(tree) +
                       " " + Quote(scenario.image) + " >/dev/null; debugfs -w -f " +
                       Quote(commands) + " " + Quote(scenario.image) + " >/dev/null 2>&1";
  std::string output;
  if (Run("bash -c " + Quote(script), &output) != 0) {
    ADD_FAILURE() << "making the ext volume with debugfs failed: " << output;
    scenario.skipReason = "the volume could not be made";
    return scenario;
  }
  ReadSums(sums, scenario);
  return scenario;
}

}  // namespace

ExtScenario MakeExtScenario(const TempDir& dir, const ExtScenarioPlan& plan) {
  ExtScenario scenario;
  if (!HaveCommand("mkfs.ext4")) {
    scenario.skipReason = "mkfs.ext4 (e2fsprogs) is not installed";
    return scenario;
  }
  if (!CanUseLoopDevices()) {
    if (!plan.kernelOnly.empty())
      scenario.skipReason = "needs a kernel mount (root and loop devices): " + plan.kernelOnly;
    else if (!plan.afterDeletion.empty())
      scenario.skipReason = "writing after the deletion needs a kernel mount: root and loop devices";
    else if (!HaveCommand("debugfs"))
      scenario.skipReason = "without root and loop devices debugfs would delete, but it is missing";
    else
      return MakeWithDebugfs(dir, plan);
    return scenario;
  }
  scenario.image = dir / "volume.img";
  std::string mount = dir / "mnt", sums = dir / "sums";
  std::string removal, debugfsRemoval;
  for (const std::string& path : plan.deleted) {
    removal += " rm -r " + Quote(path) + ";";
    debugfsRemoval += " debugfs -w -R " + Quote("rm \"/" + path + "\"") + " " +
                      Quote(scenario.image) + " >/dev/null 2>&1;";
  }
  std::string listing;
  for (const std::string& path : plan.deleted)
    listing += " find " + Quote(path) + " -type f -exec sha256sum {} + >> " + Quote(sums) + ";";
  std::string script =
      "set -e; truncate -s " + std::to_string(plan.megabytes) + "M " + Quote(scenario.image) +
      "; " + plan.mkfs + " " + Quote(scenario.image) + " >/dev/null; mkdir -p " + Quote(mount) +
      "; mount -o loop " + Quote(scenario.image) + " " + Quote(mount) + "; cd " + Quote(mount) +
      "; trap 'cd /; umount " + Quote(mount) + " 2>/dev/null || true' EXIT; " + plan.populate +
      "\nsync; : > " + Quote(sums) + ";" + listing +
      (plan.removeWithDebugfs ? std::string() : removal) + " sync; " + plan.afterDeletion +
      "\nsync; cd /; umount " + Quote(mount) + ";" +
      (plan.removeWithDebugfs ? debugfsRemoval : std::string());
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
