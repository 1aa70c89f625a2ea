#pragma once
// Progress of a job on stderr: one updating line on a terminal, plain lines
// (at most one per second) otherwise. It answers "stop" once Ctrl-C was
// pressed, and prints every file that failed.
#include <cstdint>
#include <string>

#include "jobs/JobObserver.h"

namespace salvora {

class ProgressPrinter : public JobObserver {
 public:
  // `countsFiles`: scans also show how many files they found.
  ProgressPrinter(const std::string& label, bool countsFiles);
  ~ProgressPrinter() override;

  bool OnProgress(const JobProgress& progress) override;
  void OnFileDone(const std::string& path, int error) override;
  // Ends the updating line.
  void Finish();

 private:
  // Whether a new line is due: at most ten a second on a terminal, one a
  // second in a log, and always the last. Progress comes for every chunk
  // of a scan, so the text is made only when it is shown.
  bool Due(bool force) const;
  void Show(const std::string& text);
  std::string FiguresText(const JobProgress& progress) const;
  std::string label_;
  bool countsFiles_;
  bool terminal_;
  bool lineOpen_ = false;
  uint64_t lastShownMs_ = 0;
  size_t step_ = 0;
};

// Follows a job that shows nothing and is never stopped: listing what a
// scan found is short, and it must finish even after Ctrl-C ended the scan.
class QuietObserver : public JobObserver {
 public:
  bool OnProgress(const JobProgress&) override { return true; }
};

}  // namespace salvora
