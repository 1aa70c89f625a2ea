// A small FAT volume whose boot fields, FAT and directories come from the
// fuzzer, scanned by the quick FAT engine and every find recovered.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "QuickEngineRun.h"
#include "fat/FastFatRecovery.h"

namespace {

constexpr size_t kImageBytes = 256 * 1024;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  salvora::fuzz::RunQuickEngine<salvora::CFastFatRecovery>(BuildImage(data, size));
  return 0;
}
