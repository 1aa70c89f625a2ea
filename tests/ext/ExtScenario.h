#pragma once
// ext volumes made by the real tools for the tests: mkfs.ext2/3/4 on an
// image file, files written and deleted through the kernel (a loop mount),
// and the SHA-256 of every file before it was deleted.
#include <map>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace salvora::test {

struct ExtScenarioPlan {
  std::string mkfs = "mkfs.ext4 -q -F";  // Debian's defaults
  uint64_t megabytes = 64;
  std::string populate;                  // bash, run inside the mounted volume
  std::vector<std::string> deleted;      // paths removed with rm -r, in order
  std::string afterDeletion;             // bash run after the removal
  // Files removed by debugfs on the unmounted volume instead: the way of
  // the original ext2 driver, which left names and block maps in place
  // (today's kernel wipes both, and without a journal nothing remains).
  bool removeWithDebugfs = false;
  // Why the case needs the kernel's way of deleting; empty when debugfs
  // may stand in for it.
  std::string kernelOnly;
};

struct ExtScenario {
  std::string image;
  std::string skipReason;                      // set when the volume could not be made
  std::map<std::string, std::string> deleted;  // path of every removed file -> SHA-256
};

// Builds the volume in `dir`. Without root and loop devices the tree is put
// on the volume by mkfs and removed by debugfs (the way of the original
// ext2 driver, without journal history); a plan that writes after the
// deletion then cannot be made, and skipReason says why.
ExtScenario MakeExtScenario(const TempDir& dir, const ExtScenarioPlan& plan);

// Runs salvora with a data folder of its own.
int RunSalvora(const TempDir& data, const std::string& arguments, std::string* output = nullptr);

}  // namespace salvora::test
