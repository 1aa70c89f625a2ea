#include "cli/Progress.h"

#include <unistd.h>

#include <cstdio>

#include "cli/Cancel.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"
#include "storage/FormatSize.h"

namespace salvora {
namespace {

std::string TimeLeftText(int32_t percent, int32_t secondsLeft) {
  secondsLeft = SecondsLeftAt(percent, secondsLeft);
  return secondsLeft < 0 ? " | time left: estimating"
                         : " | time left: " + FormatDuration(secondsLeft);
}

}  // namespace

ProgressPrinter::ProgressPrinter(const std::string& label, bool countsFiles)
    : label_(label), countsFiles_(countsFiles), terminal_(::isatty(STDERR_FILENO) == 1) {}

ProgressPrinter::~ProgressPrinter() { Finish(); }

bool ProgressPrinter::Due(bool force) const {
  uint64_t interval = terminal_ ? 100 : 1000;
  return force || lastShownMs_ == 0 || SteadyMilliseconds() - lastShownMs_ >= interval;
}

void ProgressPrinter::Show(const std::string& text) {
  lastShownMs_ = SteadyMilliseconds();
  if (terminal_) {
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    lineOpen_ = true;
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
  std::fflush(stderr);
}

void ProgressPrinter::Finish() {
  if (lineOpen_) std::fputc('\n', stderr);
  lineOpen_ = false;
}

std::string ProgressPrinter::FiguresText(const JobProgress& progress) const {
  std::string text = label_ + " " + std::to_string(progress.percent) + "%";
  if (!progress.path.empty()) return text + " " + progress.path;
  text += TimeLeftText(progress.percent, progress.secondsLeft);
  if (progress.sectorsTotal == 0) return text;
  text += " | sectors " + std::to_string(progress.sectorsDone) + " / " +
          std::to_string(progress.sectorsTotal);
  if (countsFiles_) text += " | files found " + std::to_string(progress.filesFound);
  return text;
}

bool ProgressPrinter::OnProgress(const JobProgress& progress) {
  if (CancelRequested()) return false;
  // Each source of a scan gets a line of its own.
  if (progress.step != step_) {
    Finish();
    step_ = progress.step;
  }
  // A step that has not begun shows nothing yet: it may end at once, when
  // no engine can read its source.
  bool begun = progress.percent != 0 || progress.sectorsTotal != 0 || !progress.path.empty();
  bool last = progress.percent >= 100 && progress.path.empty();
  if (begun && Due(last)) Show(FiguresText(progress));
  return true;
}

void ProgressPrinter::OnFileDone(const std::string& path, int error) {
  if (error == kOk) return;
  Finish();
  std::fprintf(stderr, "failed: %s: %s\n", path.c_str(), ErrorMessage(error).c_str());
}

}  // namespace salvora
