// A carving-only sweep over the image named by SALVORA_SWEEP_IMAGE, sector by
// sector with the advance rule, as the deep scan runs it over free space.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "carving/CarveSweep.h"
#include "carving/FileTypeRecovery.h"

namespace {

void SweepImage(benchmark::State& state) {
  const char* image = std::getenv("SALVORA_SWEEP_IMAGE");
  if (!image) {
    state.SkipWithError("set SALVORA_SWEEP_IMAGE to an image file");
    return;
  }
  uint64_t files = 0;
  for (auto _ : state) {
    salvora::CFileTypeRecovery engine;
    engine.OpenImage(image, 1);
    files = 0;
    salvora::CarveWholeSource(engine, engine.Source(), 512, files);
  }
  state.counters["files"] = static_cast<double>(files);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(image)));
}
BENCHMARK(SweepImage)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
