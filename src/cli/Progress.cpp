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

ProgressPrinter::ProgressPrinter(const std::string& label)
    : label_(label), terminal_(::isatty(STDERR_FILENO) == 1) {}

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

int ProgressPrinter::OnScan(void* self, int32_t percent, int32_t scale, int32_t secondsLeft,
                            uint64_t sectorsDone, uint64_t sectorsTotal, uint64_t filesFound,
                            int32_t) {
  if (CancelRequested()) return kCancelled;
  auto* printer = static_cast<ProgressPrinter*>(self);
  int shown = percent * scale / 100;
  if (!printer->Due(shown >= 100)) return 0;
  std::string text = printer->label_ + " " + std::to_string(shown) + "%";
  text += TimeLeftText(shown, secondsLeft);
  if (sectorsTotal != 0) {
    text += " | sectors " + std::to_string(sectorsDone) + " / " + std::to_string(sectorsTotal);
    text += " | files found " + std::to_string(filesFound);
  }
  printer->Show(text);
  return 0;
}

int ProgressPrinter::OnImage(void* self, int32_t percent, uint64_t sectorsDone,
                             uint64_t sectorsTotal, int32_t secondsLeft) {
  if (CancelRequested()) return kCancelled;
  auto* printer = static_cast<ProgressPrinter*>(self);
  if (!printer->Due(percent >= 100)) return 0;
  std::string text = printer->label_ + " " + std::to_string(percent) + "%";
  text += TimeLeftText(percent, secondsLeft);
  text += " | sectors " + std::to_string(sectorsDone) + " / " + std::to_string(sectorsTotal);
  printer->Show(text);
  return 0;
}

int ProgressPrinter::OnTransfer(void* self, int32_t percent, int32_t scale, int32_t errorCode,
                                const char* path) {
  if (CancelRequested()) return kCancelled;
  auto* printer = static_cast<ProgressPrinter*>(self);
  int shown = percent * scale / 100;
  if (shown >= 100 && errorCode != 0) {
    printer->Finish();
    std::fprintf(stderr, "failed: %s: %s\n", path, ErrorMessage(errorCode).c_str());
    ++printer->failedFiles_;
    return 0;
  }
  if (printer->Due(false))
    printer->Show(printer->label_ + " " + std::to_string(shown) + "% " + path);
  return 0;
}

}  // namespace salvora
