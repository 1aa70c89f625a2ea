// Hands arbitrary sectors to the deep FAT engine's directory handlers, the
// way the composite deep scan does, over an image made of the same bytes so
// that parent walks, header checks and copies read hostile data too. The
// first byte chooses, bit by bit, which handler each sector goes to.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "DeepEngineRun.h"
#include "fat/ProfessionalFatRecovery.h"

namespace {

constexpr size_t kSector = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string image = salvora::fuzz::DeepRunFolder() + "/image";
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
    salvora::fuzz::CopySomeRecords(engine);
  }
  for (const char* suffix : {"", "_Relation", "_DirInfo"}) std::filesystem::remove(store + suffix);
  return 0;
}
