#include "PreviewFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ExecutableSearch.h"
#include "previewclient/PreviewHelper.h"
#include "previewclient/PreviewLimits.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

std::string MadeFixtureFolder() {
  std::string folder = (RunningExecutableFolder() / "preview-fixtures").string();
  if (!std::filesystem::exists(folder + "/.complete")) {
    std::string script = std::string(SALVORA_SOURCE_DIR) + "/tests/preview/make_fixtures.sh";
    // flock: test processes running side by side make the fixtures once.
    MustRun("flock " + Quote(folder + ".lock") + " sh -c " +
            Quote("test -e " + Quote(folder + "/.complete") + " || bash " + Quote(script) + " " + Quote(folder)));
  }
  return folder;
}

}  // namespace

std::string PreviewFixture(const std::string& name) {
  static const std::string folder = MadeFixtureFolder();
  return folder + "/" + name;
}

std::string PreviewHelperBinary() { return SALVORA_PREVIEW_BINARY; }

ProcessResult RunPreviewHelperBinary(const std::vector<std::string>& args,
                                     const std::vector<std::string>& environment) {
  ProcessRequest request;
  request.program = PreviewHelperBinary();
  request.args = args;
  if (!environment.empty()) {
    request.args = environment;
    request.args.push_back(PreviewHelperBinary());
    request.args.insert(request.args.end(), args.begin(), args.end());
    request.program = "/usr/bin/env";
  }
  request.timeLimit = kPreviewHelperTimeLimit;
  request.outputLimit = kPreviewTextBytes;
  return RunProcess(request);
}

}  // namespace salvora::test
