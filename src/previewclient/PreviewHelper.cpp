#include "previewclient/PreviewHelper.h"

#include "platform/ExecutableSearch.h"
#include "platform/RunProcess.h"
#include "previewclient/PreviewLimits.h"
#include "previewclient/PreviewPicture.h"

namespace salvora {
namespace {

constexpr const char* kHelperName = "salvora-preview";

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

bool WritesPicture(PreviewMode mode) {
  return mode == PreviewMode::kPicture || mode == PreviewMode::kPdf;
}

void RemovePicture(const PreviewRequest& request) {
  std::error_code ignored;
  std::filesystem::remove(request.pictureOut, ignored);
}

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
  // A PNG left by an earlier preview must not pass for this one's.
  if (WritesPicture(request.mode)) {
    RemovePicture(request);
    run.args.push_back(request.pictureOut.string());
  }
  run.timeLimit = request.timeLimit;
  run.addressSpaceBytes = kAddressSpaceLimitUsable ? kPreviewHelperAddressSpace : 0;
  run.outputLimit = kPreviewTextBytes;
  run.cancel = request.cancel;

  ProcessResult result = RunProcess(run);
  outcome.cancelled = result.end == ProcessEnd::kCancelled;
  if (!result.ExitedWith(0)) {
    outcome.failure = DescribeProcessEnd(result, run);
    if (!result.err.empty()) outcome.failure += ": " + FirstLine(result.err);
    if (WritesPicture(request.mode)) RemovePicture(request);
    return outcome;
  }
  if (WritesPicture(request.mode)) outcome.failure = CheckPreviewPicture(request.pictureOut);
  if (!outcome.failure.empty()) {
    // Nothing the window could mistake for a picture stays behind.
    RemovePicture(request);
    return outcome;
  }
  outcome.ok = true;
  outcome.text = std::move(result.out);
  // A cut must show: a listing that simply ends looks complete.
  if (result.outTruncated)
    outcome.text = outcome.text.substr(0, outcome.text.rfind('\n') + 1) +
                   "... the output was cut here: it is longer than a preview shows\n";
  return outcome;
}

}  // namespace salvora
