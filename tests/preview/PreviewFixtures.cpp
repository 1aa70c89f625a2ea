#include "PreviewFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ExecutableSearch.h"
#include "previewclient/PreviewHelper.h"
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

ProcessResult RunPreviewHelperBinary(const std::vector<std::string>& args) {
  ProcessRequest request;
  request.program = PreviewHelperBinary();
  request.args = args;
  request.timeLimit = kPreviewHelperTimeLimit;
  return RunProcess(request);
}

}  // namespace salvora::test
