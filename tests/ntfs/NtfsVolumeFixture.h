#pragma once
// One NTFS image per test run, made by mkntfs and written through ntfs-3g
// (see make_ntfs_fixture.py): folders several levels deep, tiny resident
// files, files of several MiB, fragmented, sparse and compressed files,
// files deleted one by one, a deleted folder tree, and a deleted folder
// whose record was then reused by a new file.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace salvora::test {

struct NtfsVolumeFixture {
  // Built once; `skipReason` is set when this machine cannot build it.
  static const NtfsVolumeFixture& Get();

  std::string skipReason;
  std::unique_ptr<TempDir> dir;
  std::string image;
  std::map<std::string, uint32_t> live;  // path -> MFT record number
  std::vector<std::string> deleted;      // paths as they were
  uint32_t reusedFolderRecord = 0;       // record of "gone", reused by a file
  bool folderRecordReused = false;
  uint64_t freeBytes = 0;

  // The copy of a file taken before it was deleted (or of a live file).
  std::string Original(const std::string& path) const;
  // The path a deleted file is listed under: "gone/" became a lost folder.
  std::string ListedPath(const std::string& path) const;
};

}  // namespace salvora::test
