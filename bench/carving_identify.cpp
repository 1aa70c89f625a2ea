// Identification cost of a sector that starts no known file: the price the
// deep scan pays on almost every sector of a disk.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "carving/CarveContext.h"
#include "carving/IdentifyAndMeasure.h"

namespace {

constexpr uint32_t kSectorBytes = 512;
// One 64 KiB chunk, as the deep scan walks it right after reading it.
constexpr size_t kSectors = 128;

std::vector<uint8_t> RandomSectors() {
  std::mt19937_64 random(12345);
  std::vector<uint8_t> bytes(kSectors * kSectorBytes);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

void IdentifyRandomSectors(benchmark::State& state) {
  std::vector<uint8_t> sectors = RandomSectors();
  std::string path = "/tmp/salvora_identify_bench.img";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(sectors.data(), 1, sectors.size(), f);
    std::fclose(f);
  }
  salvora::SectorSource source;
  source.OpenImage(path);
  salvora::CarveContext context;
  context.source = &source;
  salvora::CarvedFile found;
  size_t next = 0;
  uint64_t recognised = 0;
  for (auto _ : state) {
    const uint8_t* sector = sectors.data() + next * kSectorBytes;
    int result = salvora::IdentifyAndMeasure(context, sector, kSectorBytes,
                                             {next, next, kSectors, -1, 0}, found);
    recognised += result == 0;
    benchmark::DoNotOptimize(result);
    next = (next + 1) % kSectors;
  }
  state.counters["recognised"] = static_cast<double>(recognised);
  state.SetItemsProcessed(state.iterations());
  std::remove(path.c_str());
}
BENCHMARK(IdentifyRandomSectors);

}  // namespace
