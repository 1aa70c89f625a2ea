#pragma once
// What the deep-engine fuzz targets share: a data folder of the process's
// own for the engines' stores, and copying out the first files an engine
// wrote, in memory.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "results/FoundRecord.h"
#include "results/ScanHistory.h"

namespace salvora::fuzz {

inline const std::string& DeepRunFolder() {
  static const std::string folder = [] {
    std::string path =
        (std::filesystem::temp_directory_path() / ("salvora-fuzz-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(path);
    ::setenv("SALVORA_DATA_DIR", path.c_str(), 1);
    ScanHistory::Instance().Load();
    return path;
  }();
  return folder;
}

template <typename Engine>
void CopySomeRecords(Engine& engine) {
  uint8_t memory[4096];
  for (uint32_t n = 1; n <= engine.GetRecordCount() && n <= 8; ++n) {
    FoundRecord record;
    if (engine.Store().ReadRecord(n, record) != 0 || record.isFolder) continue;
    SetRecordName(record.name, "x.dat");  // keeps the copy in memory
    uint32_t size = sizeof memory;
    std::string path;
    engine.ExtractForPreview(&record, path, memory, size, nullptr, nullptr);
  }
}

}  // namespace salvora::fuzz
