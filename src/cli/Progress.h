#pragma once
// Progress of long work on stderr: one updating line on a terminal, plain
// lines (at most one per second) otherwise. Its callbacks answer the cancel
// code once Ctrl-C was pressed.
#include <cstdint>
#include <string>

#include "storage/Callbacks.h"

namespace salvora {

class ProgressPrinter {
 public:
  explicit ProgressPrinter(const std::string& label);
  ~ProgressPrinter();

  static int OnScan(void* self, int32_t percent, int32_t scale, int32_t secondsLeft,
                    uint64_t sectorsDone, uint64_t sectorsTotal, uint64_t filesFound, int32_t);
  // Matches the image copier's progress callback.
  static int OnImage(void* self, int32_t percent, uint64_t sectorsDone, uint64_t sectorsTotal,
                     int32_t secondsLeft);
  static int OnTransfer(void* self, int32_t percent, int32_t scale, int32_t errorCode,
                        const char* path);
  // Ends the updating line.
  void Finish();

  // Files whose copy ended with an error, as reported through OnTransfer.
  uint64_t FailedFiles() const { return failedFiles_; }

 private:
  // Whether a new line is due: at most ten a second on a terminal, one a
  // second in a log, and always the last. Progress comes for every chunk
  // of a scan, so the text is made only when it is shown.
  bool Due(bool force) const;
  void Show(const std::string& text);
  std::string label_;
  bool terminal_;
  bool lineOpen_ = false;
  uint64_t lastShownMs_ = 0;
  uint64_t failedFiles_ = 0;
};

}  // namespace salvora
