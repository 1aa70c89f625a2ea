// A small ext volume from the fuzzer, whole, rebuilt by the deep ext engine
// as the composite deep scan drives it: every chunk offered for directory
// blocks, the inode tables swept for old inodes, the tree written, and the
// first files copied out.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "DeepEngineRun.h"
#include "ext/ProfessionalExtRecovery.h"

namespace {

constexpr size_t kSector = 512;
constexpr size_t kChunk = 0x10000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kMaxImage = 4u << 20;
  if (size < 4096 || size > kMaxImage) return 0;
  const std::string image = salvora::fuzz::DeepRunFolder() + "/image";
  std::string bytes(reinterpret_cast<const char*>(data), size);
  bytes.resize((size + kSector - 1) / kSector * kSector, '\0');
  std::ofstream(image, std::ios::binary | std::ios::trunc) << bytes;

  std::string store;
  {
    salvora::CProfessionalExtRecovery engine;
    if (engine.OpenImage(image, 'E') != 0 || engine.OpenResults(nullptr) != 0) return 0;
    store = engine.Store().DataPath();
    engine.RegisterVolume();
    const auto* chunk = reinterpret_cast<const uint8_t*>(bytes.data());
    for (size_t at = 0; at < bytes.size(); at += kChunk) {
      size_t length = std::min(kChunk, bytes.size() - at);
      engine.ProcessChunk(chunk + at, static_cast<uint32_t>(length / kSector), at / kSector);
    }
    engine.FinishFolders(true);
    salvora::fuzz::CopySomeRecords(engine);
    for (uint32_t n = 1; n <= engine.GetRecordCount() && n <= 8; ++n) {
      salvora::FoundRecord record;
      uint64_t sector = 0;
      if (engine.Store().ReadRecord(n, record) == 0) engine.FirstDataSector(record, sector);
    }
  }
  for (const char* suffix : {"", "_Relation", "_DirInfo"}) std::filesystem::remove(store + suffix);
  return 0;
}
