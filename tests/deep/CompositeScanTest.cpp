// Deep scans of reformatted volumes and of raw images, made at test time
// with the real tools, checked by name, folder and content hash.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "deep/CompositeFixture.h"
#include "platform/ErrorCodes.h"
#include "support/NtfsRecordProbe.h"
#include "support/TestSupport.h"

namespace salvora::test {
namespace {

bool CanMountNtfs() {
  return IsRoot() && HaveCommand("mkntfs") && HaveCommand("ntfs-3g") &&
         std::filesystem::exists("/dev/fuse");
}

// Files written into a volume: path below its root -> SHA-256.
using Written = std::map<std::string, std::string>;

void WriteTree(const std::string& root, Written& written) {
  const std::pair<const char*, size_t> files[] = {
      {"top.txt", 300},
      {"docs/report.bin", 70000},
      {"docs/small.txt", 600},
      {"docs/sub/deep.bin", 9000},
      {"photos/2020/a.bin", 150000},
      {"photos/2020/b.bin", 4096},
  };
  uint64_t seed = 1;
  for (const auto& [name, size] : files) {
    std::string path = root + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, PseudoRandomBytes(size, seed++));
    written[name] = FileSha256(path);
  }
}

class CompositeScanTest : public ::testing::Test {
 protected:
  // A FAT32 volume holding the tree's folders docs and photos, and then
  // what `then` does to it.
  Written Fat32WithTree(const std::string& then) {
    MustRun("truncate -s 64M " + Quote(image_) + " && mkfs.fat -F 32 -n OLD " + Quote(image_) +
            " >/dev/null");
    TempDir tree;
    Written written;
    WriteTree(tree.path(), written);
    MustRun("cd " + Quote(tree.path()) + " && mcopy -s -i " + Quote(image_) +
            " docs photos ::/ && " + then);
    return written;
  }

  ScopedDataDir data_;
  TempDir work_;
  std::string image_ = work_ / "volume.img";
};

TEST_F(CompositeScanTest, ReformattedNtfsGivesBackFilesWithFoldersByteExact) {
  if (!CanMountNtfs()) GTEST_SKIP() << "needs root, FUSE and ntfs-3g to fill an NTFS volume";
  MustRun("truncate -s 64M " + Quote(image_) + " && mkntfs -Q -F -q " + Quote(image_) +
          " >/dev/null 2>&1");
  std::string mount = work_ / "mnt";
  std::filesystem::create_directories(mount);
  MustRun("ntfs-3g " + Quote(image_) + " " + Quote(mount));
  Written written;
  WriteTree(mount, written);
  // A picture the carving engine also finds at the file's first cluster.
  bool picture = HaveCommand("convert");
  if (picture) {
    MustRun("convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform " +
            Quote(mount + "/photos/pic.png"));
    written["photos/pic.png"] = FileSha256(mount + "/photos/pic.png");
  }
  MustRun("umount " + Quote(mount));
  MustRun("mkntfs -Q -F -q " + Quote(image_) + " >/dev/null 2>&1");

  auto engine = OpenDeep(image_);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  auto files = ListFiles(*engine);
  for (const auto& [name, hash] : written) {
    const FoundFile* found = FindBySuffix(files, name);
    ASSERT_NE(found, nullptr) << name;
    EXPECT_EQ(found->path, name);
    EXPECT_EQ(found->kind, static_cast<uint32_t>(kDeepNtfs)) << name;
    EXPECT_EQ(RecoveredSha256(*engine, *found, work_.path()), hash) << name;
    // The size comes from $DATA: ntfs-3g leaves the one in $FILE_NAME at 0.
    EXPECT_EQ(FileNameSizeOfRecord(image_, found->sector), std::optional<uint64_t>(0)) << name;
  }
  // The merged listing holds the picture once: the carved copy is left out.
  size_t pictures = 0;
  for (const FoundFile& file : files)
    pictures += file.path.size() > 4 && file.path.compare(file.path.size() - 4, 4, ".png") == 0;
  if (picture) {
    EXPECT_EQ(pictures, 1u);
  }
}

TEST_F(CompositeScanTest, ReformattedFat32GivesBackFilesWithFolders) {
  if (!HaveCommand("mkfs.fat") || !HaveCommand("mcopy"))
    GTEST_SKIP() << "needs dosfstools and mtools";
  Written written = Fat32WithTree("mkfs.fat -F 32 " + Quote(image_) + " >/dev/null");
  // The root directory of the new volume overwrites the old one, so only
  // what lay in subfolders keeps its name.
  written.erase("top.txt");

  auto engine = OpenDeep(image_);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  auto files = ListFiles(*engine);
  for (const auto& [name, hash] : written) {
    std::string leaf = name.substr(name.find('/') + 1);  // the first folder's name is gone
    const FoundFile* found = FindBySuffix(files, leaf);
    ASSERT_NE(found, nullptr) << name;
    // The old folders' clusters are free on the new volume, so the quick
    // scan's search for lost folders may find them before the deep FAT
    // engine does; either way they come from FAT directories, not carving.
    EXPECT_TRUE(found->kind == kDeepFat || found->kind == kQuickFat) << name;
    EXPECT_EQ(RecoveredSha256(*engine, *found, work_.path()), hash) << name;
  }
}

// A folder deleted whole is walked by the quick scan and rebuilt by the deep
// FAT engine from its clusters: each of its files is listed once, on the
// path the quick scan gave it.
TEST_F(CompositeScanTest, FilesOfADeletedFolderAreListedOnceOnTheirPaths) {
  if (!HaveCommand("mkfs.fat") || !HaveCommand("mdeltree"))
    GTEST_SKIP() << "needs dosfstools and mtools";
  Written written = Fat32WithTree("mdeltree -i " + Quote(image_) + " ::/docs");

  auto engine = OpenDeep(image_);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  auto files = ListFiles(*engine);
  std::map<std::pair<uint64_t, std::string>, int> listed;
  for (const FoundFile& file : files)
    ++listed[{file.sector, file.path.substr(file.path.rfind('/') + 1)}];
  for (const auto& [place, times] : listed) EXPECT_EQ(times, 1) << place.second;
  for (const char* name : {"docs/report.bin", "docs/small.txt", "docs/sub/deep.bin"}) {
    // The first letter of a deleted entry is gone.
    std::string leaf = std::string(name).substr(std::string(name).rfind('/') + 2);
    const FoundFile* found = FindBySuffix(files, leaf);
    ASSERT_NE(found, nullptr) << name;
    EXPECT_EQ(found->kind, static_cast<uint32_t>(kQuickFat)) << name;
    EXPECT_EQ(found->path.find("LostFolder"), std::string::npos) << found->path;
    EXPECT_EQ(RecoveredSha256(*engine, *found, work_.path()), written[name]) << name;
  }
}

// Pictures laid back to back at sector boundaries on a disk with no file
// system, between runs of noise.
TEST_F(CompositeScanTest, RawImageFilesAreCarvedByteExact) {
  if (!HaveCommand("convert")) GTEST_SKIP() << "needs ImageMagick";
  TempDir pictures;
  MustRun("cd " + Quote(pictures.path()) +
          " && convert -size 320x240 -seed 3 plasma:red-blue -quality 85 a.jpg"
          " && convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform b.png"
          " && convert -size 160x120 -seed 4 plasma: -colors 64 c.gif"
          " && convert -size 90x70 gradient:red-blue BMP3:d.bmp");
  std::string disk = PseudoRandomBytes(64 * 512, 11);
  std::map<uint64_t, std::string> placed;  // start sector -> hash
  for (const char* name : {"a.jpg", "b.png", "c.gif", "d.bmp"}) {
    std::string bytes = ReadFile(pictures / name);
    placed[disk.size() / 512] = FileSha256(pictures / name);
    disk += bytes;
    disk.append((512 - disk.size() % 512) % 512, '\0');
  }
  disk += PseudoRandomBytes(64 * 512, 12);
  WriteFile(image_, disk);

  auto engine = OpenDeep(image_);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  auto files = ListFiles(*engine);
  for (const auto& [sector, hash] : placed) {
    const FoundFile* found = nullptr;
    for (const FoundFile& file : files)
      if (file.sector == sector) found = &file;
    ASSERT_NE(found, nullptr) << "nothing carved at sector " << sector;
    EXPECT_EQ(found->kind, static_cast<uint32_t>(kCarved));
    EXPECT_EQ(RecoveredSha256(*engine, *found, work_.path()), hash) << found->path;
  }
}

// Carving alone knows no file system; the deep scan makes a carved file end
// where a file system's structures begin.
TEST_F(CompositeScanTest, CarvedFileEndsBeforeABootSector) {
  std::string disk = PseudoRandomBytes(32 * 512, 21);
  std::string tiff = std::string("II*") + '\0' + std::string(4 * 512 - 4, 'U');
  std::string boot = std::string("\xEB\x58\x90MSWIN4.1") + std::string(501, '\0');
  WriteFile(image_, disk + tiff + boot + PseudoRandomBytes(32 * 512, 22));

  auto engine = OpenDeep(image_);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  auto files = ListFiles(*engine);
  const FoundFile* tif = FindBySuffix(files, "32.tif");
  ASSERT_NE(tif, nullptr);
  EXPECT_EQ(tif->size, 4u * 512);
}

// A volume whose quick engine has no usage map (ext with block clusters,
// whose bitmaps count clusters) is walked in full.
TEST_F(CompositeScanTest, VolumeWithoutUsageMapIsWalkedWhole) {
  if (!HaveCommand("mkfs.ext4") || !HaveCommand("convert")) GTEST_SKIP() << "needs e2fsprogs";
  TempDir tree;
  MustRun("convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform " +
          Quote(tree / "b.png"));
  MustRun("truncate -s 16M " + Quote(image_) +
          " && mkfs.ext4 -q -F -O bigalloc -E root_owner=0:0 -d " + Quote(tree.path()) + " " +
          Quote(image_) + " 2>/dev/null");
  auto engine = OpenDeep(image_);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  EXPECT_FALSE(engine->WalkedFreeSpaceOnly());
  EXPECT_EQ(engine->LastPosition().sectorsDone, 16u * 2048);
  auto files = ListFiles(*engine);
  bool carved = false;
  for (const FoundFile& file : files)
    carved |= file.kind == kCarved &&
              RecoveredSha256(*engine, file, work_.path()) == FileSha256(tree / "b.png");
  EXPECT_TRUE(carved);
}

// An ext volume's block bitmaps make the walk skip its live files.
TEST_F(CompositeScanTest, ExtVolumeIsWalkedInItsFreeBlocksOnly) {
  if (!HaveCommand("mkfs.ext4") || !HaveCommand("convert")) GTEST_SKIP() << "needs e2fsprogs";
  TempDir tree;
  MustRun("convert -size 200x150 gradient:yellow-green -seed 2 +noise Uniform " +
          Quote(tree / "b.png"));
  MustRun("truncate -s 16M " + Quote(image_) + " && mkfs.ext4 -q -F -E root_owner=0:0 -d " +
          Quote(tree.path()) + " " + Quote(image_));
  auto engine = OpenDeep(image_);
  ASSERT_NE(engine, nullptr);
  ASSERT_EQ(RunDeepScan(*engine), kOk);
  EXPECT_TRUE(engine->WalkedFreeSpaceOnly());
  for (const FoundFile& file : ListFiles(*engine)) EXPECT_NE(file.kind, kCarved) << file.path;
}

}  // namespace
}  // namespace salvora::test
