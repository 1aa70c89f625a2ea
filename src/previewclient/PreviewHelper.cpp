#include "previewclient/PreviewHelper.h"

#include "platform/ExecutableSearch.h"
#include "platform/RunProcess.h"

namespace salvora {
namespace {

constexpr const char* kHelperName = "salvora-preview";
// Listings of big archives are the largest output the helper gives.
constexpr size_t kHelperOutputLimit = 8 << 20;

// A sanitizer build reserves terabytes of address space for its shadow
// memory and cannot start under an address-space limit, so such builds (the
// test builds) run the helper without one.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceLimitUsable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSpaceLimitUsable = false;
#else
constexpr bool kAddressSpaceLimitUsable = true;
#endif
#else
constexpr bool kAddressSpaceLimitUsable = true;
#endif

const char* ModeWord(PreviewMode mode) {
  switch (mode) {
    case PreviewMode::kPicture:
      return "picture";
    case PreviewMode::kPdf:
      return "pdf";
    case PreviewMode::kList:
      return "list";
    case PreviewMode::kText:
      break;
  }
  return "text";
}

bool WritesPicture(PreviewMode mode) { return mode == PreviewMode::kPicture || mode == PreviewMode::kPdf; }

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

std::filesystem::path PreviewHelperPath() {
  std::filesystem::path beside = RunningExecutableFolder() / kHelperName;
  if (IsExecutableFile(beside)) return beside;
  return FindOnPath(kHelperName);
}

PreviewOutcome RunPreviewHelper(const PreviewRequest& request) {
  PreviewOutcome outcome;
  ProcessRequest run;
  run.program = (request.helper.empty() ? PreviewHelperPath() : request.helper).string();
  if (run.program.empty()) {
    outcome.failure = std::string(kHelperName) + " is not installed";
    return outcome;
  }
  run.args = {ModeWord(request.mode), request.file.string()};
  if (WritesPicture(request.mode)) {
    // A PNG left by an earlier preview must not pass for this one's.
    std::error_code ignored;
    std::filesystem::remove(request.pictureOut, ignored);
    run.args.push_back(request.pictureOut.string());
  }
  run.timeLimit = request.timeLimit;
  run.addressSpaceBytes = kAddressSpaceLimitUsable ? kPreviewHelperAddressSpace : 0;
  run.outputLimit = kHelperOutputLimit;
  run.cancel = request.cancel;

  ProcessResult result = RunProcess(run);
  outcome.cancelled = result.end == ProcessEnd::kCancelled;
  if (!result.ExitedWith(0)) {
    outcome.failure = DescribeProcessEnd(result, run);
    if (!result.err.empty()) outcome.failure += ": " + FirstLine(result.err);
    return outcome;
  }
  if (WritesPicture(request.mode) && !std::filesystem::is_regular_file(request.pictureOut)) {
    outcome.failure = "the helper wrote no picture";
    return outcome;
  }
  outcome.ok = true;
  outcome.text = std::move(result.out);
  return outcome;
}

}  // namespace salvora
