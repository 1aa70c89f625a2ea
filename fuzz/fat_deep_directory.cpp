// Hands arbitrary sectors to the deep FAT engine's directory handlers, the
// way the composite deep scan does, over an image made of the same bytes so
// that parent walks, header checks and copies read hostile data too. The
// first byte chooses, bit by bit, which handler each sector goes to.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fat/ProfessionalFatRecovery.h"
#include "results/ScanHistory.h"

namespace {

constexpr size_t kSector = 512;

const std::string& Folder() {
  static const std::string folder = [] {
    std::string path =
        (std::filesystem::temp_directory_path() / ("salvora-fuzz-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(path);
    ::setenv("SALVORA_DATA_DIR", path.c_str(), 1);
    salvora::ScanHistory::Instance().Load();
    return path;
  }();
  return folder;
}

void CopySomeRecords(salvora::CProfessionalFatRecovery& engine) {
  uint8_t memory[4096];
  for (uint32_t n = 1; n <= engine.GetRecordCount() && n <= 8; ++n) {
    salvora::FoundRecord record;
    if (engine.Store().ReadRecord(n, record) != 0 || record.isFolder) continue;
    salvora::SetRecordName(record.name, "x.dat");  // keeps the copy in memory
    uint32_t size = sizeof memory;
    std::string path;
    engine.ExtractForPreview(&record, path, memory, size, nullptr, nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string image = Folder() + "/image";
  size_t sectors = (size - 1 + kSector - 1) / kSector;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  bytes.resize(sectors * kSector, '\0');
  std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes;

  std::string store;
  {
    salvora::CProfessionalFatRecovery engine;
    if (engine.OpenImage(image, 'F') != 0 || engine.OpenResults(nullptr) != 0) return 0;
    store = engine.Store().DataPath();
    engine.RegisterBootVolume();
    const auto* sector = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t i = 0; i < sectors; ++i, sector += kSector) {
      if ((data[0] >> (i % 8)) & 1) {
        engine.ProcessDirectoryStart(sector, i);
      } else {
        engine.ProcessDirectoryEntries(sector, i);
      }
    }
    engine.FinishFolders();
    CopySomeRecords(engine);
  }
  for (const char* suffix : {"", "_Relation", "_DirInfo"}) std::filesystem::remove(store + suffix);
  return 0;
}
