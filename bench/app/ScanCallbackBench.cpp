// What the scan window's progress costs a deep scan: the same deep scan of
// IMAGE run bare (no callback) and inside the real scan window (callback,
// lock, figures shown by the window thread every 50 ms), alternately, RUNS
// times each; prints the median seconds of both and their difference, in
// wall-clock time and in CPU time (which other work on a shared machine
// does not inflate): the whole process's, and the scanning thread's alone,
// without the window thread's drawing.
//   bench_scan_callback IMAGE [RUNS]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "app/ScanProcessWnd.h"
#include "storage/EngineSelection.h"
#include "support/TestSupport.h"

using namespace salvora;
using Clock = std::chrono::steady_clock;

namespace {

struct Cost {
  double wall = 0, cpu = 0, windowThread = 0;
  double ScanThread() const { return cpu - windowThread; }
};

double CpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Started and stopped on the thread that runs the window (or, bare, the scan).
struct Stopwatch {
  Clock::time_point wall = Clock::now();
  double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  double thread = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  Cost Stop(bool windowRuns) const {
    return {std::chrono::duration<double>(Clock::now() - wall).count(),
            CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu,
            windowRuns ? CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread : 0};
  }
};

Cost Bare(const std::string& image) {
  test::ScopedDataDir data;
  Stopwatch watch;
  SelectionResult selection = CreateImageEngine(image, 1, true);
  selection.engine->Scan(nullptr);
  return watch.Stop(false);
}

Cost InWindow(const std::string& image) {
  test::ScopedDataDir data;
  DiskListItem item;
  item.imagePath = image;
  item.key = 1;
  Stopwatch watch;
  CScanProcessWnd window({&item}, CScanProcessWnd::kDeepScan, nullptr);
  window.Run();
  return watch.Stop(true);
}

Cost Median(std::vector<Cost> costs) {
  auto middle = [&](double Cost::*part) {
    std::vector<double> values;
    for (const Cost& cost : costs) values.push_back(cost.*part);
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  return {middle(&Cost::wall), middle(&Cost::cpu), middle(&Cost::windowThread)};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_scan_callback IMAGE [RUNS]\n");
    return 2;
  }
  std::string image = argv[1];
  int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  std::vector<Cost> bare, window;
  for (int i = 0; i < runs; ++i) {
    bare.push_back(Bare(image));
    window.push_back(InWindow(image));
  }
  double mib = static_cast<double>(std::filesystem::file_size(image)) / (1 << 20);
  Cost b = Median(bare), w = Median(window);
  std::printf("deep scan of %.0f MiB, median of %d runs\n", mib, runs);
  std::printf("                     wall       MiB/s   CPU      scan thread\n");
  std::printf("  without callback: %6.3f s  %7.1f  %6.3f s  %6.3f s\n", b.wall, mib / b.wall, b.cpu,
              b.ScanThread());
  std::printf("  in the window:    %6.3f s  %7.1f  %6.3f s  %6.3f s\n", w.wall, mib / w.wall, w.cpu,
              w.ScanThread());
  auto change = [](double bare, double windowed) { return (windowed - bare) / bare * 100; };
  std::printf("  difference:       %+6.2f %%           %+6.2f %%  %+6.2f %%\n",
              change(b.wall, w.wall), change(b.cpu, w.cpu), change(b.ScanThread(), w.ScanThread()));
  return 0;
}
