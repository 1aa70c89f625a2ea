// What the scan window's progress costs a deep scan: the same deep scan of
// IMAGE run bare (no callback) and inside the real scan window (callback,
// lock, figures shown by the window thread every 50 ms), alternately, RUNS
// times each; prints the median seconds of both and their difference.
//   bench_scan_callback IMAGE [RUNS]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/ScanProcessWnd.h"
#include "storage/EngineSelection.h"
#include "support/TestSupport.h"

using namespace salvora;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Bare(const std::string& image) {
  test::ScopedDataDir data;
  auto start = Clock::now();
  SelectionResult selection = CreateImageEngine(image, 1, true);
  selection.engine->Scan(nullptr);
  return Seconds(start);
}

double InWindow(const std::string& image) {
  test::ScopedDataDir data;
  DiskListItem item;
  item.imagePath = image;
  item.key = 1;
  auto start = Clock::now();
  CScanProcessWnd window({&item}, CScanProcessWnd::kDeepScan, nullptr);
  window.Run();
  return Seconds(start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
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
  std::vector<double> bare, window;
  for (int i = 0; i < runs; ++i) {
    bare.push_back(Bare(image));
    window.push_back(InWindow(image));
  }
  double mib = static_cast<double>(std::filesystem::file_size(image)) / (1 << 20);
  double b = Median(bare), w = Median(window);
  std::printf("deep scan of %.0f MiB, median of %d runs\n", mib, runs);
  std::printf("  without callback: %7.2f s  %7.1f MiB/s\n", b, mib / b);
  std::printf("  in the window:    %7.2f s  %7.1f MiB/s\n", w, mib / w);
  std::printf("  difference:       %+6.2f %%\n", (w - b) / b * 100);
  return 0;
}
