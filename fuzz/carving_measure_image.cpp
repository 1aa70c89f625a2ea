// A small disk of any content swept by the carving engine: every sector
// identified, every recognised file measured, stored and copied out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CarvingFuzzImage.h"
#include "carving/CarveSweep.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* folder = [] {
    setenv("SALVORA_DATA_DIR", "/tmp/salvora-fuzz-carving", 1);
    return "/tmp/salvora-fuzz-carving";
  }();
  // Each input starts from an empty store.
  std::filesystem::remove_all(folder);
  salvora::CFileTypeRecovery engine;
  salvora::fuzz::AttachImage(engine.Source(), data, size);
  engine.ReopenStore("File_Type_fuzz", 512);
  uint64_t files = 0;
  salvora::CarveWholeSource(engine, engine.Source(), 512, files);
  std::vector<salvora::FoundRecord> records;
  engine.ListFolder(nullptr, 0, records);
  for (const salvora::FoundRecord& record : records) {
    uint8_t memory[4096];
    uint32_t capacity = sizeof(memory);
    std::string path;
    salvora::FoundRecord copy = record;
    copy.name[0] = 'x';  // no preview route: the copy lands in memory
    copy.name[1] = '\0';
    engine.ExtractForPreview(&copy, path, memory, capacity, nullptr, nullptr);
  }
  return 0;
}
