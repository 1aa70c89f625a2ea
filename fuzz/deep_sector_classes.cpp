// Sectors of any content classified as the deep scan does: FILE records
// (also ones crossing the chunk end), FAT directory sectors and the
// metadata test that ends carved files.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "deep/CompositeClassifier.h"
#include "deep/FileSystemMetadata.h"

namespace {

// Owners that claim nothing, so every branch of the classification runs.
class NoOwners : public salvora::SectorOwners {
 public:
  explicit NoOwners(const std::vector<uint8_t>& disk) : disk_(disk) {}
  void OnFileRecord(const uint8_t*, size_t, uint64_t) override {}
  void OnDirectoryStart(const uint8_t*, uint64_t) override {}
  void OnDirectoryEntries(const uint8_t*, uint64_t) override {}
  void OnExfatDirectoryEntries(const uint8_t*, uint64_t) override {}
  int Carve(const uint8_t*, uint64_t, uint64_t&) override { return 87; }
  size_t ReadRecordAt(uint64_t sector, uint8_t* buffer) override {
    size_t at = static_cast<size_t>(sector) * 512;
    size_t n = 0;
    while (n < salvora::kRecordReadBytes && at + n < disk_.size()) {
      buffer[n] = disk_[at + n];
      ++n;
    }
    return n;
  }

 private:
  const std::vector<uint8_t>& disk_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> disk(data, data + size);
  disk.resize((size + 511) / 512 * 512, 0);
  uint32_t sectors = static_cast<uint32_t>(disk.size() / 512);
  NoOwners owners(disk);
  uint64_t carveFrom = 0;
  bool cancelled = false;
  salvora::ClassifyChunk(disk.data(), sectors, 512, 0, owners, carveFrom, cancelled);
  for (uint32_t i = 0; i < sectors; ++i)
    salvora::IsFileSystemMetadataSector(disk.data() + i * 512, 512);
  return 0;
}
