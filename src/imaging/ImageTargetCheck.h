#pragma once
// Checks made before an image run starts, so that it neither writes onto
// what it copies nor fails hours later on a target that cannot hold it.
#include <cstdint>
#include <string>
#include <vector>

namespace salvora {

enum class TargetProblem {
  kNone,
  kNoSource,
  kNotAFile,      // the target exists and is a device, folder or link
  kSameFile,      // the target is the image file being copied, or another one in use
  kOnSourceDisk,  // the target lies on the disk or partition being copied
  kFat32Limit,    // FAT32 holds no file of 4 GiB or more
  kFatLimit,      // FAT (12/16) holds no file above 2 GiB
  kNoSpace,
};

struct ImageSourceInfo {
  std::string devicePath;  // the partition or disk node copied from; empty for an image file
  std::string imagePath;   // the image file copied from, when the source is one
  uint64_t sizeBytes = 0;
  // Everything else the program reads meanwhile: image files of the disk
  // list (a partition of a whole-disk image is copied from inside one) and
  // devices that hold found files. A target may be none of them nor lie on
  // any of the devices.
  std::vector<std::string> filesInUse;
  std::vector<std::string> devicesInUse;
};

// Whether a file of `sizeBytes` fits the largest file that the named file
// system can hold.
TargetProblem FileSystemLimit(const std::string& fileSystemName, uint64_t sizeBytes);

// Runs every check in order; on a problem `message` says what is wrong in
// words the user can act on.
TargetProblem CheckImageTarget(const ImageSourceInfo& source, const std::string& target,
                               std::string& message);

}  // namespace salvora
