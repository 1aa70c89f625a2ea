#pragma once
// Shared by the deep FAT engine's tests: directory entries made by hand,
// sector images, and a driver that hands an image's sectors to the engine
// the way the composite deep scan does.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "fat/FatDirEntry.h"
#include "fat/ProfessionalFatRecovery.h"
#include "support/TestSupport.h"

#if __has_include("deep/FatDirectorySector.h")
#include "deep/FatDirectorySector.h"
#define SALVORA_HAVE_DIRECTORY_SECTOR_TEST 1
#endif

namespace salvora::test {

constexpr size_t kSector = 512;
// 2020-06-15 12:30:00 in FAT's date and time fields.
constexpr uint16_t kSomeDate = ((2020 - 1980) << 9) | (6 << 5) | 15;
constexpr uint16_t kSomeTime = (12 << 11) | (30 << 5);

inline void PutLe16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
inline void PutLe32(std::string& s, size_t at, uint32_t v) {
  PutLe16(s, at, static_cast<uint16_t>(v));
  PutLe16(s, at + 2, static_cast<uint16_t>(v >> 16));
}

// An 8.3 entry; `name11` is the 11 space-padded name bytes.
inline std::string ShortEntry(const char* name11, uint8_t attributes, uint32_t cluster,
                              uint32_t size) {
  std::string e(32, '\0');
  std::memcpy(e.data(), name11, 11);
  e[11] = static_cast<char>(attributes);
  PutLe16(e, 14, kSomeTime);
  PutLe16(e, 16, kSomeDate);
  PutLe16(e, 18, kSomeDate);
  PutLe16(e, 20, static_cast<uint16_t>(cluster >> 16));
  PutLe16(e, 22, kSomeTime);
  PutLe16(e, 24, kSomeDate);
  PutLe16(e, 26, static_cast<uint16_t>(cluster));
  PutLe32(e, 28, size);
  return e;
}
inline std::string FileEntry(const char* name11, uint32_t cluster, uint32_t size) {
  return ShortEntry(name11, kAttrArchive, cluster, size);
}
inline std::string FolderEntry(const char* name11, uint32_t cluster) {
  return ShortEntry(name11, kAttrDirectory, cluster, 0);
}
inline std::string DotEntries(uint32_t own, uint32_t parent) {
  return FolderEntry(".          ", own) + FolderEntry("..         ", parent);
}

// The long-name entries of an ASCII name, as they lie before the short
// entry `name11` (last part first).
inline std::string LongEntries(const std::string& name, const char* name11) {
  uint8_t raw[11];
  std::memcpy(raw, name11, 11);
  uint8_t checksum = ShortNameChecksum(raw);
  static constexpr size_t kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  size_t parts = (name.size() + 12) / 13;
  std::string out;
  for (size_t part = parts; part-- > 0;) {
    std::string e(32, '\0');
    e[0] = static_cast<char>((part + 1) | (part + 1 == parts ? 0x40 : 0));
    e[11] = static_cast<char>(kAttrLongName);
    e[13] = static_cast<char>(checksum);
    for (size_t i = 0; i < 13; ++i) {
      size_t at = part * 13 + i;
      uint16_t unit =
          at < name.size() ? static_cast<uint8_t>(name[at]) : (at == name.size() ? 0 : 0xFFFF);
      PutLe16(e, kOffsets[i], unit);
    }
    out += e;
  }
  return out;
}

// A whole sector from entries, padded with zeros (the end of the directory).
inline std::string SectorOf(const std::string& entries) {
  std::string s = entries.substr(0, kSector);
  s.resize(kSector, '\0');
  return s;
}

// A disk image in memory, written out for the engine to open.
class SectorImage {
 public:
  explicit SectorImage(uint64_t sectors) : bytes_(sectors * kSector, '\0') {}
  void Put(uint64_t sector, const std::string& data) {
    bytes_.replace(sector * kSector, data.size(), data);
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// The composite's first test: the sector begins a subdirectory.
inline bool PassesDotEntryTest(const uint8_t* s) {
  auto dirWithoutSize = [&](size_t at) {
    return (s[at + 11] & kAttrDirectory) && s[at + 28] == 0 && s[at + 29] == 0 && s[at + 30] == 0 &&
           s[at + 31] == 0;
  };
  return s[0] == '.' && dirWithoutSize(0) && s[32] == '.' && s[33] == '.' && dirWithoutSize(32);
}

// The composite's second test: the sector holds directory entries.
inline bool LooksLikeDirectorySector(const uint8_t* s) {
#ifdef SALVORA_HAVE_DIRECTORY_SECTOR_TEST
  return IsFatDirectorySector(s, kSector);
#else
  if (s[0] == 0) return false;
  for (size_t at = 0; at < kSector; at += 32) {
    if (s[at] == 0) {
      for (size_t rest = at; rest < kSector; ++rest)
        if (s[rest] != 0) return false;
      return true;
    }
    const uint8_t* next = at + 64 <= kSector ? s + at + 32 : nullptr;
    if (!IsValidDirEntry(s + at, next)) return false;
  }
  return true;
#endif
}

// Hands every sector of the image to the engine in ascending order.
inline void FeedSectors(CProfessionalFatRecovery& engine, const std::string& image) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(image.data());
  for (uint64_t sector = 0; sector < image.size() / kSector; ++sector) {
    const uint8_t* s = bytes + sector * kSector;
    if (PassesDotEntryTest(s)) {
      engine.ProcessDirectoryStart(s, sector);
    } else if (LooksLikeDirectorySector(s)) {
      engine.ProcessDirectoryEntries(s, sector);
    }
  }
}

// Every record reachable from the root, by path ("docs/sub/a.txt").
inline void CollectTree(CProfessionalFatRecovery& engine, const FoundRecord* folder, int depth,
                        const std::string& prefix, std::map<std::string, FoundRecord>& out) {
  std::vector<FoundRecord> children;
  ASSERT_EQ(engine.ListFolder(folder, depth, children), 0);
  for (const FoundRecord& child : children) {
    std::string path = prefix + child.name;
    bool again = out.count(path) != 0;
    out[path] = child;
    if (child.isFolder && !again && depth < 32)
      CollectTree(engine, &child, depth + 1, path + "/", out);
  }
}

// Every one of `paths` is in the tree.
inline void ExpectListed(const std::map<std::string, FoundRecord>& tree,
                         std::initializer_list<const char*> paths) {
  for (const char* path : paths) EXPECT_TRUE(tree.count(path)) << path;
}

// An engine on an image file under a private data folder.
struct DeepFatHarness {
  ScopedDataDir data;
  TempDir dir;
  CProfessionalFatRecovery engine;
  std::string imagePath = dir / "disk.img";

  // Opens the image and runs a whole sweep over it.
  void Sweep(const std::string& image) {
    WriteFile(imagePath, image);
    ASSERT_EQ(engine.OpenImage(imagePath, 'Z'), 0);
    ASSERT_EQ(engine.OpenResults(nullptr), 0);
    ASSERT_EQ(engine.RegisterBootVolume(), 0);
    FeedSectors(engine, image);
    ASSERT_EQ(engine.FinishFolders(), 0);
  }
  std::map<std::string, FoundRecord> Tree() {
    std::map<std::string, FoundRecord> tree;
    CollectTree(engine, nullptr, 0, "", tree);
    return tree;
  }
};

}  // namespace salvora::test
