// A small NTFS volume whose MFT area comes from the input, scanned by the
// quick engine, its free space mapped and every found file extracted.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ntfs/FastNtfsRecovery.h"
#include "results/ScanHistory.h"

using namespace salvora;

namespace {

constexpr size_t kVolumeBytes = 512 * 1024;
constexpr size_t kMftOffset = 16 * 512;  // cluster 4 of 4 sectors

std::string BootSector() {
  std::string boot(512, '\0');
  boot.replace(3, 8, "NTFS    ");
  boot[0x0B] = 0x00;
  boot[0x0C] = 0x02;
  boot[0x0D] = 4;
  boot[0x28] = static_cast<char>(kVolumeBytes / 512 & 0xFF);
  boot[0x29] = static_cast<char>(kVolumeBytes / 512 >> 8);
  boot[0x30] = 4;
  boot[0x40] = static_cast<char>(0xF6);
  boot[510] = 0x55;
  boot[511] = static_cast<char>(0xAA);
  return boot;
}

std::string dataFolder;

void RemoveDataFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(dataFolder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/salvora-fuzz-ntfs-XXXXXX";
  if (!::mkdtemp(folder)) return 0;
  dataFolder = folder;
  std::atexit(RemoveDataFolder);
  ::setenv("SALVORA_DATA_DIR", folder, 1);
  ScanHistory::Instance().Load();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string volume(kVolumeBytes, '\0');
  volume.replace(0, 512, BootSector());
  std::memcpy(volume.data() + kMftOffset, data, std::min(size, kVolumeBytes - kMftOffset));
  int fd = ::memfd_create("ntfs-volume", 0);
  if (fd < 0) return 0;
  if (::write(fd, volume.data(), volume.size()) != static_cast<ssize_t>(volume.size())) {
    ::close(fd);
    return 0;
  }
  {
    CFastNtfsRecovery engine;
    if (engine.OpenImage("/proc/self/fd/" + std::to_string(fd), 1) == 0 &&
        engine.Scan(nullptr) == 0) {
      std::vector<FoundRecord> found;
      engine.ListByType("*.*|.other", found);
      std::vector<uint8_t> memory(1 << 16);
      for (size_t i = 0; i < found.size() && i < 16; ++i) {
        std::string path;
        uint32_t length = static_cast<uint32_t>(memory.size());
        engine.ExtractForPreview(&found[i], path, memory.data(), length, nullptr, nullptr);
      }
      if (engine.BuildUsageMap() == 0) {
        uint64_t sector = 0, count = 0;
        for (int i = 0; i < 64 && engine.NextFreeRange(sector, count) == 1 && count; ++i)
          sector += count;
      }
    }
  }
  ::close(fd);
  return 0;
}
