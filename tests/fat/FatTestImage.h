#pragma once
// FAT images made at test time with mkfs.fat and mtools, byte patches for
// the cases no tool makes, and a quick FAT engine opened on an image.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fat/FastFatRecovery.h"
#include "support/TestSupport.h"

namespace salvora::test {

// An empty FAT image of the given width: a 1.44 MB floppy for 12, 20 MB for
// 16, 70 MB for 32 (enough clusters that mkfs.fat accepts the width).
std::string MakeFatImage(const TempDir& dir, int fatBits, const std::string& name = "fat.img");

// Runs an mtools command ("mcopy", "mdel" ...) on the image with the
// arguments as they stand (volume paths start with "::/").
void Mtools(const std::string& tool, const std::string& image, const std::string& arguments);
// Writes `content` to the volume path (such as "dir/name.bin").
void PutFile(const TempDir& dir, const std::string& image, const std::string& volumePath,
             const std::string& content);
std::string VolumePath(const std::string& path);  // "::/" + path, quoted

// The cluster runs of a file as mshowfat reports them: {first, last}.
std::vector<std::pair<uint32_t, uint32_t>> ClusterRuns(const std::string& image,
                                                       const std::string& volumePath);

FatLayout ImageLayout(const std::string& image);
// Offset of the first occurrence of `bytes` in the image; npos when absent.
uint64_t FindInImage(const std::string& image, const std::string& bytes);
// The bytes of a FAT entry and of a cluster of the image.
void SetFatEntry(const std::string& image, uint32_t cluster, uint32_t value);
uint64_t ClusterOffset(const FatLayout& layout, uint32_t cluster);

// The quick FAT engine on one image, with its own data folder.
class EngineOnImage {
 public:
  explicit EngineOnImage(const std::string& image);
  CFastFatRecovery& operator*() { return *engine_; }
  CFastFatRecovery* operator->() { return engine_.get(); }
  int openResult() const { return openResult_; }
  // Every found file and folder keyed by folder path + name.
  std::map<std::string, FoundRecord> FoundFiles();
  // Every record reached by walking the folder tree from the root, keyed as
  // FoundFiles (folders end with '/').
  std::map<std::string, FoundRecord> WalkTree();
  // Recovers the file listed as `listedAs` to `target`; -1 when no such
  // file is listed.
  int RecoverListed(const std::string& listedAs, const std::string& target);

 private:
  ScopedDataDir data_;
  std::unique_ptr<CFastFatRecovery> engine_;
  int openResult_ = 0;
};

}  // namespace salvora::test
