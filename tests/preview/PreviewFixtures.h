#pragma once
// Files made by real encoders for the preview helper's tests, and running
// the helper on them.
#include <string>
#include <vector>

#include "platform/RunProcess.h"

namespace salvora::test {

// The path of a fixture made by make_fixtures.sh; the fixtures are made once
// per build tree and shared by every test process.
std::string PreviewFixture(const std::string& name);

std::string PreviewHelperBinary();

// Runs salvora-preview with `args` under the limits the application uses;
// `environment` ("NAME=value") is added to this process's own.
ProcessResult RunPreviewHelperBinary(const std::vector<std::string>& args,
                                     const std::vector<std::string>& environment = {});

}  // namespace salvora::test
