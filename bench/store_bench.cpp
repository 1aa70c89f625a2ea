// Appending a million found records to a store and listing them by type:
// the cost every engine and every results view pays.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "results/ScanResultStore.h"

namespace {

constexpr int kRecords = 1000000;
const char* const kNames[] = {"holiday.jpg", "report.docx", "song.mp3", "movie.avi", "data.bin"};

std::string BenchFolder() {
  return (std::filesystem::temp_directory_path() / "salvora-store-bench").string();
}

void FillStore(salvora::ScanResultStore& store) {
  for (int i = 0; i < kRecords; ++i) {
    salvora::FoundRecord* record = store.AppendRecord();
    record->recordNo = store.GetRecordCount();
    record->contentOk = 1;
    record->firstCluster = static_cast<uint32_t>(i + 3);
    record->fileSize = static_cast<uint64_t>(i) * 37;
    salvora::SetRecordName(record->name, kNames[i % 5]);
    store.AddRelation(static_cast<uint32_t>(i / 500 + 2), 1, record->recordNo,
                      record->firstCluster, nullptr);
  }
  store.Flush();
}

void BM_AppendMillion(benchmark::State& state) {
  for (auto _ : state) {
    std::filesystem::remove_all(BenchFolder());
    salvora::ScanResultStore store;
    store.OpenStore(BenchFolder(), "bench");
    FillStore(store);
    store.CloseStore();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_AppendMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ListByTypeMillion(benchmark::State& state) {
  std::filesystem::remove_all(BenchFolder());
  salvora::ScanResultStore store;
  store.OpenStore(BenchFolder(), "bench");
  FillStore(store);
  for (auto _ : state) {
    std::vector<salvora::FoundRecord> photos;
    store.ListByTypes("*.jpg|*.mp3", photos);
    benchmark::DoNotOptimize(photos.data());
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  store.CloseStore();
  std::filesystem::remove_all(BenchFolder());
}
BENCHMARK(BM_ListByTypeMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
