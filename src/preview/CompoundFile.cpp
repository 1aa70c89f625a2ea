#include "preview/CompoundFile.h"

#include <cstdint>
#include <vector>

namespace salvora::preview {
namespace {

constexpr std::string_view kSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr size_t kHeaderBytes = 512;
constexpr size_t kHeaderTableEntries = 109;
constexpr uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr size_t kEntryBytes = 128;
constexpr uint8_t kStreamEntry = 2;

uint32_t Le32(std::string_view bytes, size_t at) {
  auto byte = [&](size_t i) { return uint32_t{static_cast<uint8_t>(bytes[at + i])}; };
  return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}
uint16_t Le16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                               static_cast<uint8_t>(bytes[at + 1]) << 8);
}

class CompoundFile {
 public:
  explicit CompoundFile(std::string_view file) : file_(file) {}

  bool ReadHeader() {
    if (file_.size() < kHeaderBytes || file_.substr(0, 8) != kSignature) return false;
    uint16_t shift = Le16(file_, 30);
    uint16_t miniShift = Le16(file_, 32);
    if ((shift != 9 && shift != 12) || miniShift != 6) return false;
    sectorBytes_ = size_t{1} << shift;
    sectorCount_ = (file_.size() - kHeaderBytes) / sectorBytes_;
    miniCutoff_ = Le32(file_, 56);
    return ReadAllocationTable();
  }

  // The chain from `first` through `table`, each link read from `sectorOf`.
  template <typename SectorReader>
  std::string ReadChain(const std::vector<uint32_t>& table, uint32_t first, uint64_t size,
                        size_t unit, SectorReader sectorOf) const {
    std::string bytes;
    std::vector<bool> visited(table.size());
    for (uint32_t sector = first; bytes.size() < size && sector < table.size() && !visited[sector];
         sector = table[sector]) {
      visited[sector] = true;
      std::string_view piece = sectorOf(sector);
      if (piece.size() < unit) break;
      bytes.append(piece.substr(0, std::min<uint64_t>(unit, size - bytes.size())));
    }
    return bytes;
  }

  std::string ReadStream(uint32_t first, uint64_t size) const {
    auto regular = [&](uint32_t sector) { return Sector(sector); };
    if (size >= miniCutoff_) return ReadChain(fat_, first, size, sectorBytes_, regular);
    auto mini = [&](uint32_t sector) {
      return std::string_view(miniStream_).substr(std::min<size_t>(size_t{sector} * 64, miniStream_.size()), 64);
    };
    return ReadChain(miniFat_, first, size, 64, mini);
  }

  // Index of the stream entry named `name`, scanning the directory in order.
  std::optional<std::string> Stream(std::u16string_view name, size_t maxBytes) {
    std::string directory = ReadChain(fat_, Le32(file_, 48), UINT64_MAX, sectorBytes_,
                                      [&](uint32_t sector) { return Sector(sector); });
    if (directory.size() < kEntryBytes) return std::nullopt;
    uint64_t rootSize = Le32(directory, 120);
    miniStream_ = ReadChain(fat_, Le32(directory, 116), std::min<uint64_t>(rootSize, maxBytes),
                            sectorBytes_, [&](uint32_t sector) { return Sector(sector); });
    miniFat_ = TableFromChain(Le32(file_, 60));
    for (size_t at = 0; at + kEntryBytes <= directory.size(); at += kEntryBytes) {
      if (static_cast<uint8_t>(directory[at + 66]) != kStreamEntry || !NameIs(directory, at, name))
        continue;
      uint64_t size = std::min<uint64_t>(Le32(directory, at + 120), maxBytes);
      return ReadStream(Le32(directory, at + 116), size);
    }
    return std::nullopt;
  }

 private:
  std::string_view Sector(uint32_t sector) const {
    if (sector >= sectorCount_) return {};
    return file_.substr(kHeaderBytes + size_t{sector} * sectorBytes_, sectorBytes_);
  }

  void AppendEntries(std::string_view sector, std::vector<uint32_t>& table) const {
    for (size_t at = 0; at + 4 <= sector.size(); at += 4) table.push_back(Le32(sector, at));
  }

  // The table sectors named by the header and the chain of extension sectors.
  bool ReadAllocationTable() {
    std::vector<uint32_t> tableSectors;
    for (size_t i = 0; i < kHeaderTableEntries; ++i) tableSectors.push_back(Le32(file_, 76 + 4 * i));
    std::vector<bool> visited(sectorCount_);
    for (uint32_t next = Le32(file_, 68);
         next < sectorCount_ && !visited[next] && tableSectors.size() < sectorCount_;) {
      visited[next] = true;
      std::string_view sector = Sector(next);
      for (size_t at = 0; at + 4 < sector.size(); at += 4) tableSectors.push_back(Le32(sector, at));
      next = Le32(sector, sector.size() - 4);
    }
    // A table never needs more entries than the file has sectors.
    for (uint32_t sector : tableSectors) {
      if (sector > kLastRegularSector || fat_.size() >= sectorCount_) continue;
      AppendEntries(Sector(sector), fat_);
    }
    return !fat_.empty();
  }

  std::vector<uint32_t> TableFromChain(uint32_t first) const {
    std::vector<uint32_t> table;
    std::string bytes = ReadChain(fat_, first, uint64_t{sectorCount_} * sectorBytes_, sectorBytes_,
                                  [&](uint32_t sector) { return Sector(sector); });
    AppendEntries(bytes, table);
    return table;
  }

  static bool NameIs(std::string_view directory, size_t at, std::u16string_view name) {
    size_t units = Le16(directory, at + 64) / 2;
    if (units != name.size() + 1 || units > 32) return false;
    for (size_t i = 0; i < name.size(); ++i)
      if (Le16(directory, at + 2 * i) != name[i]) return false;
    return true;
  }

  std::string_view file_;
  size_t sectorBytes_ = 512;
  size_t sectorCount_ = 0;
  uint32_t miniCutoff_ = 4096;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> miniFat_;
  std::string miniStream_;
};

}  // namespace

std::optional<std::string> ReadCompoundStream(std::string_view file, std::u16string_view name,
                                              size_t maxBytes) {
  CompoundFile compound(file);
  if (!compound.ReadHeader()) return std::nullopt;
  return compound.Stream(name, maxBytes);
}

}  // namespace salvora::preview
