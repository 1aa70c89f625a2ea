// The deep FAT engine's share of a deep scan: every directory sector of a
// formatted volume handed over in ascending order, then the folder pass.
// 2000 directories of one 4 KiB cluster each hold 252,000 file entries.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fat/ProfessionalFatRecovery.h"
#include "results/ScanHistory.h"

namespace {

constexpr size_t kSector = 512;
constexpr uint32_t kPerCluster = 8;
constexpr uint32_t kClusterTwo = 64;
constexpr uint32_t kDirectories = 2000;
constexpr uint32_t kFirstDirectory = 3;

void Put16(std::string& s, size_t at, uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

std::string Entry(const char* name11, uint8_t attributes, uint32_t cluster, uint32_t size) {
  std::string e(32, '\0');
  std::memcpy(e.data(), name11, 11);
  e[11] = static_cast<char>(attributes);
  const uint32_t date = (40 << 9) | (6 << 5) | 15, time = 12 << 11;
  for (size_t at : {16, 18, 24}) Put16(e, at, date);
  for (size_t at : {14, 22}) Put16(e, at, time);
  Put16(e, 20, cluster >> 16);
  Put16(e, 26, cluster);
  Put16(e, 28, size);
  return e;
}

// Directory d lives in cluster 3 + d; its parent is the directory before it
// in runs of five levels, so parent walks have some depth to climb.
std::string MakeImage() {
  uint64_t sectors = kClusterTwo + (kFirstDirectory - 2 + kDirectories) * kPerCluster;
  std::string image(sectors * kSector, '\0');
  uint32_t file = 0;
  for (uint32_t d = 0; d < kDirectories; ++d) {
    uint32_t cluster = kFirstDirectory + d;
    uint32_t parent = d % 5 == 0 ? 0 : cluster - 1;
    std::string entries =
        Entry(".          ", 0x10, cluster, 0) + Entry("..         ", 0x10, parent, 0);
    while (entries.size() < kPerCluster * kSector) {
      char name[12];
      std::snprintf(name, sizeof name, "F%07uDAT", file++ % 10000000);
      entries += Entry(name, 0x20, 2, 1000);
    }
    image.replace((kClusterTwo + (cluster - 2) * kPerCluster) * kSector, entries.size(), entries);
  }
  return image;
}

void BM_DeepFatSweep(benchmark::State& state) {
  std::string folder = (std::filesystem::temp_directory_path() / "salvora-fatdeep-bench").string();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  ::setenv("SALVORA_DATA_DIR", folder.c_str(), 1);
  salvora::ScanHistory::Instance().Load();
  std::string image = MakeImage();
  std::string path = folder + "/image";
  std::ofstream(path, std::ios::binary) << image;
  const auto* bytes = reinterpret_cast<const uint8_t*>(image.data());
  uint64_t sectors = image.size() / kSector, found = 0;
  for (auto _ : state) {
    salvora::CProfessionalFatRecovery engine;
    engine.OpenImage(path, 'B');
    engine.OpenResults(nullptr);
    engine.RegisterBootVolume();
    for (uint64_t s = kClusterTwo; s < sectors; ++s) {
      const uint8_t* sector = bytes + s * kSector;
      if (sector[0] == '.' && sector[32] == '.')
        engine.ProcessDirectoryStart(sector, s);
      else if (sector[0] != 0)
        engine.ProcessDirectoryEntries(sector, s);
    }
    engine.FinishFolders();
    found = engine.GetRecordCount();
    std::filesystem::remove(engine.Store().DataPath());
  }
  state.counters["records"] = static_cast<double>(found);
  state.counters["sectors/s"] = benchmark::Counter(static_cast<double>(sectors - kClusterTwo),
                                                   benchmark::Counter::kIsIterationInvariantRate);
  state.counters["files/s"] =
      benchmark::Counter(static_cast<double>(found), benchmark::Counter::kIsIterationInvariantRate);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_DeepFatSweep)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
