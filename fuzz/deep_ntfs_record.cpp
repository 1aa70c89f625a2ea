// Feeds arbitrary bytes to the deep NTFS engine as a FILE record found on a
// disk whose sectors hold the same bytes, so parent walks, the MFT map and
// the folder pass all read hostile data.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ntfs/ProfessionalNtfsRecovery.h"

namespace {

constexpr size_t kImageBytes = 1 << 16;

struct Harness {
  std::string folder;
  std::string image;
  Harness() {
    folder =
        (std::filesystem::temp_directory_path() / ("salvora-fuzz-deep-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(folder);
    setenv("SALVORA_DATA_DIR", folder.c_str(), 1);
    image = folder + "/disk.img";
  }
};

// The input appears at the start of the disk and again every 4 KiB, so
// parent records looked up anywhere read fuzzed bytes.
void WriteDisk(const std::string& image, const uint8_t* data, size_t size) {
  std::vector<uint8_t> disk(kImageBytes, 0);
  for (size_t at = 0; at < kImageBytes && size > 0; at += 4096)
    std::copy(data, data + std::min(size, kImageBytes - at), disk.begin() + at);
  std::ofstream out(image, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(disk.data()), static_cast<std::streamsize>(disk.size()));
}

void Scan(const Harness& harness, const uint8_t* data, size_t size) {
  salvora::CProfessionalNtfsRecovery engine;
  if (engine.OpenImage(harness.image, 1) != 0 || engine.OpenResults(nullptr) != 0) return;
  uint64_t sector = size > 0 ? data[0] % (kImageBytes / 512) : 0;
  engine.ProcessFileRecord(data, size, sector, 0, 0);
  engine.ProcessFileRecord(data, size, sector, 1, size > 1 ? data[1] : 0);
  engine.EmitPendingFolders();
  std::vector<salvora::FoundRecord> out;
  engine.ListFolder(nullptr, 0, out);
  for (const auto& record : out) {
    salvora::RunList runs;
    engine.ReadDataRuns(record, runs);
    std::string path;
    engine.GetRecordPath(record, path);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Harness harness;
  WriteDisk(harness.image, data, size);
  Scan(harness, data, size);
  // Each input starts from an empty store.
  std::error_code ec;
  std::filesystem::remove_all(harness.folder + "/0", ec);
  return 0;
}
