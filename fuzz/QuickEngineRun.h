#pragma once
// What the quick-engine fuzz targets do with a volume image: open it, scan
// it, list and recover every find (a few dozen at most), and walk the free
// space, all in a temporary folder of the target's own.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "results/ScanHistory.h"
#include "results/TypeGroups.h"
#include "storage/IFileRecoveryParse.h"

namespace salvora::fuzz {

inline const std::string& QuickRunFolder() {
  static const std::string root = [] {
    char pattern[] = "/tmp/salvora-fuzz-quick-XXXXXX";
    std::string made = mkdtemp(pattern) ? pattern : "/tmp";
    setenv("SALVORA_DATA_DIR", (made + "/data").c_str(), 1);
    return made;
  }();
  return root;
}

inline void ExerciseEngine(IFileRecoveryParse& engine, const std::string& imagePath,
                           const std::string& out) {
  constexpr size_t kMaxRecovered = 64;
  engine.OpenImage(imagePath, 1);
  engine.Scan(nullptr);
  std::vector<FoundRecord> records;
  engine.ListByType(KnownExtensions() + "|.other", records);
  std::vector<FoundRecord> top;
  engine.ListFolder(nullptr, 0, top);
  records.insert(records.end(), top.begin(), top.end());
  for (size_t i = 0; i < records.size() && i < kMaxRecovered; ++i) {
    std::string path;
    engine.GetRecordPath(records[i], path);
    engine.RecoverItem(&records[i], out + "/" + std::to_string(i), 1);
  }
  engine.BuildUsageMap();
  uint64_t sector = 0, count = 0;
  for (int i = 0; i < 16 && engine.NextFreeRange(sector, count) == 1 && count > 0; ++i)
    sector += count;
}

// Writes `image` and runs a new `Engine` over it.
template <class Engine>
void RunQuickEngine(const std::vector<uint8_t>& image) {
  const std::string& root = QuickRunFolder();
  std::string imagePath = root + "/volume.img";
  std::ofstream(imagePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  ScanHistory::Instance().NewRunFolder();
  {
    Engine engine;
    ExerciseEngine(engine, imagePath, root + "/out");
  }
  std::error_code ec;
  std::filesystem::remove_all(root + "/out", ec);
  std::filesystem::remove_all(root + "/data", ec);
  ScanHistory::Instance().Load();
}

}  // namespace salvora::fuzz
