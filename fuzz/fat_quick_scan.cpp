// A small FAT volume whose boot fields, FAT and directories come from the
// fuzzer, scanned by the quick FAT engine and every find recovered.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fat/FastFatRecovery.h"
#include "results/ScanHistory.h"
#include "results/TypeGroups.h"

namespace {

constexpr size_t kImageBytes = 256 * 1024;
constexpr size_t kMaxRecovered = 64;

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// A plausible boot sector, so that most inputs reach the directory walk:
// FAT12 with a 64-entry root, or FAT32 with its root at cluster 2.
void WriteBootSector(uint8_t* s, bool fat32) {
  Put16(s + 11, 512);
  s[13] = 1;
  s[16] = fat32 ? 1 : 2;
  Put16(s + 19, kImageBytes / 512);
  if (fat32) {
    Put16(s + 14, 2);
    s[36] = 4;
    s[44] = 2;
    std::memcpy(s + 82, "FAT32   ", 8);
  } else {
    Put16(s + 14, 1);
    Put16(s + 17, 64);
    Put16(s + 22, 2);
  }
  s[510] = 0x55;
  s[511] = 0xAA;
}

// Layout of the input: one flag byte (bit 0: FAT32, bit 1: the next 36
// bytes replace the boot parameter fields), then the image from sector 1.
std::vector<uint8_t> BuildImage(const uint8_t* data, size_t size) {
  std::vector<uint8_t> image(kImageBytes, 0);
  if (size == 0) return image;
  uint8_t flags = data[0];
  ++data, --size;
  WriteBootSector(image.data(), flags & 1);
  if ((flags & 2) && size >= 36) {
    std::memcpy(image.data() + 11, data, 36);
    data += 36, size -= 36;
  }
  std::memcpy(image.data() + 512, data, std::min(size, kImageBytes - 512));
  return image;
}

std::string TempRoot() {
  static std::string root = [] {
    char pattern[] = "/tmp/salvora-fuzz-fat-XXXXXX";
    std::string made = mkdtemp(pattern) ? pattern : "/tmp";
    setenv("SALVORA_DATA_DIR", (made + "/data").c_str(), 1);
    return made;
  }();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string root = TempRoot();
  std::string imagePath = root + "/volume.img";
  std::vector<uint8_t> image = BuildImage(data, size);
  std::ofstream(imagePath, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));

  salvora::ScanHistory::Instance().NewRunFolder();
  {
    salvora::CFastFatRecovery engine;
    engine.OpenImage(imagePath, 1);
    engine.Scan(nullptr);
    std::vector<salvora::FoundRecord> records;
    engine.ListByType(salvora::KnownExtensions() + "|.other", records);
    std::vector<salvora::FoundRecord> top;
    engine.ListFolder(nullptr, 0, top);
    records.insert(records.end(), top.begin(), top.end());
    std::string out = root + "/out";
    for (size_t i = 0; i < records.size() && i < kMaxRecovered; ++i) {
      std::string path;
      engine.GetRecordPath(records[i], path);
      engine.RecoverItem(&records[i], out + "/" + std::to_string(i), 1);
    }
    engine.BuildUsageMap();
    uint64_t sector = 0, count = 0;
    for (int i = 0; i < 16 && engine.NextFreeRange(sector, count) == 1 && count > 0; ++i)
      sector += count;
    std::error_code ec;
    std::filesystem::remove_all(out, ec);
  }
  std::error_code ec;
  std::filesystem::remove_all(root + "/data", ec);
  salvora::ScanHistory::Instance().Load();
  return 0;
}
