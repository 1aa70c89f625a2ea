#include "fat/FatTestImage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>

#include "support/EngineListing.h"

namespace salvora::test {

std::string MakeFatImage(const TempDir& dir, int fatBits, const std::string& name) {
  const char* kilobytes = fatBits == 12 ? "1440" : fatBits == 16 ? "20480" : "70000";
  std::string image = dir / name;
  MustRun("mkfs.fat -C -F " + std::to_string(fatBits) + " " + Quote(image) + " " + kilobytes +
          " >/dev/null");
  return image;
}

void Mtools(const std::string& tool, const std::string& image, const std::string& arguments) {
  MustRun("MTOOLS_SKIP_CHECK=1 " + tool + " -i " + Quote(image) + " " + arguments);
}

std::string VolumePath(const std::string& path) { return Quote("::/" + path); }

void PutFile(const TempDir& dir, const std::string& image, const std::string& volumePath,
             const std::string& content) {
  std::string staged = dir / "staged.bin";
  WriteFile(staged, content);
  Mtools("mcopy", image, Quote(staged) + " " + VolumePath(volumePath));
}

std::vector<std::pair<uint32_t, uint32_t>> ClusterRuns(const std::string& image,
                                                       const std::string& volumePath) {
  std::string output;
  Run("MTOOLS_SKIP_CHECK=1 mshowfat -i " + Quote(image) + " " + VolumePath(volumePath), &output);
  std::vector<std::pair<uint32_t, uint32_t>> runs;
  std::regex run("<(\\d+)(-(\\d+))?>");
  for (auto it = std::sregex_iterator(output.begin(), output.end(), run);
       it != std::sregex_iterator(); ++it) {
    uint32_t first = static_cast<uint32_t>(std::stoul((*it)[1]));
    uint32_t last = (*it)[3].matched ? static_cast<uint32_t>(std::stoul((*it)[3])) : first;
    runs.emplace_back(first, last);
  }
  return runs;
}

FatLayout ImageLayout(const std::string& image) {
  std::string boot = ReadImage(image, 0, 512);
  FatLayout layout;
  EXPECT_TRUE(
      RecognizeFatBootSector(reinterpret_cast<const uint8_t*>(boot.data()), boot.size(), layout));
  return layout;
}

uint64_t FindInImage(const std::string& image, const std::string& bytes) {
  std::string all = ReadFile(image);
  size_t at = all.find(bytes);
  return at == std::string::npos ? UINT64_MAX : at;
}

uint64_t ClusterOffset(const FatLayout& layout, uint32_t cluster) {
  return layout.ClusterSector(cluster) * layout.bytesPerSector;
}

// Every copy of the FAT gets the value, as a real writer would do.
void SetFatEntry(const std::string& image, uint32_t cluster, uint32_t value) {
  FatLayout layout = ImageLayout(image);
  uint32_t bits = layout.FatEntryBits();
  uint64_t fatBytes = static_cast<uint64_t>(layout.fatSectors) * layout.bytesPerSector;
  uint64_t fatCount =
      (layout.firstDataSector - layout.rootDirSectors - layout.fatStart) / layout.fatSectors;
  for (uint64_t copy = 0; copy < fatCount; ++copy) {
    uint64_t base = layout.fatStart * layout.bytesPerSector + copy * fatBytes;
    uint64_t at = base + static_cast<uint64_t>(cluster) * bits / 8;
    std::string old = ReadImage(image, at, 4);
    uint32_t raw = static_cast<uint8_t>(old[0]) | (static_cast<uint8_t>(old[1]) << 8) |
                   (static_cast<uint8_t>(old[2]) << 16) |
                   (static_cast<uint32_t>(static_cast<uint8_t>(old[3])) << 24);
    if (bits == 12) {
      raw = (cluster & 1) ? (raw & ~0xFFF0u) | ((value & 0xFFF) << 4)
                          : (raw & ~0xFFFu) | (value & 0xFFF);
    } else if (bits == 16) {
      raw = (raw & 0xFFFF0000u) | (value & 0xFFFF);
    } else {
      raw = value;
    }
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(raw >> (8 * i));
    PatchImage(image, at, bytes);
  }
}

EngineOnImage::EngineOnImage(const std::string& image)
    : engine_(std::make_unique<CFastFatRecovery>()) {
  openResult_ = engine_->OpenImage(image, 'T');
}

std::map<std::string, FoundRecord> EngineOnImage::FoundFiles() { return ListedByPath(*engine_); }

int EngineOnImage::RecoverListed(const std::string& listedAs, const std::string& target) {
  auto found = FoundFiles();
  auto it = found.find(listedAs);
  if (it == found.end()) return -1;
  return engine_->RecoverItem(&it->second, target, 0);
}

std::map<std::string, FoundRecord> EngineOnImage::WalkTree() { return TreeByPath(*engine_); }

}  // namespace salvora::test
