#include "imaging/ImageTargetCheck.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "platform/DeviceStack.h"
#include "platform/ErrorCodes.h"
#include "storage/DiskHelpers.h"

namespace salvora {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {
  }, second{};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

TargetProblem CheckExistingTarget(const ImageSourceInfo& source, const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0) return TargetProblem::kNone;
  if (!S_ISREG(st.st_mode)) return TargetProblem::kNotAFile;
  if (!source.imagePath.empty() && SameFile(source.imagePath, target))
    return TargetProblem::kSameFile;
  return TargetProblem::kNone;
}

TargetProblem CheckPlace(const ImageSourceInfo& source, const std::string& target) {
  std::string diskName;
  if (!source.devicePath.empty() && WholeDiskNameOfNode(source.devicePath, diskName) &&
      PathIsStoredOnDisk(target, diskName))
    return TargetProblem::kOnSourceDisk;
  std::string fileSystem;
  if (FileSystemNameOf(target, fileSystem) == kOk) {
    TargetProblem limit = FileSystemLimit(fileSystem, source.sizeBytes);
    if (limit != TargetProblem::kNone) return limit;
  }
  uint64_t freeBytes = 0;
  if (FreeSpaceOf(target, freeBytes) != kOk) return TargetProblem::kNone;
  // An existing target is replaced, so the space it holds counts as free.
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    freeBytes += static_cast<uint64_t>(st.st_blocks) * 512;
  return freeBytes > source.sizeBytes ? TargetProblem::kNone : TargetProblem::kNoSpace;
}

std::string Describe(TargetProblem problem, const ImageSourceInfo& source,
                     const std::string& target) {
  switch (problem) {
    case TargetProblem::kNone:
      return {};
    case TargetProblem::kNoSource:
      return "choose a disk, partition or region to copy first";
    case TargetProblem::kNotAFile:
      return target + " exists and is not a regular file; name a new or existing image file";
    case TargetProblem::kSameFile:
      return target + " is the image being copied";
    case TargetProblem::kOnSourceDisk:
      return target + " lies on " + source.devicePath +
             ", which is being copied; writing there could destroy what is to be saved. "
             "Put the image on another disk";
    case TargetProblem::kFat32Limit:
      return "the image (" + FormatSize(static_cast<int64_t>(source.sizeBytes)) +
             ") is too large for " + target + ": FAT32 holds no file of 4 GB or more";
    case TargetProblem::kFatLimit:
      return "the image (" + FormatSize(static_cast<int64_t>(source.sizeBytes)) +
             ") is too large for " + target + ": FAT holds no file larger than 2 GB";
    case TargetProblem::kNoSpace:
      return "there is not enough free space for the image (" +
             FormatSize(static_cast<int64_t>(source.sizeBytes)) + ") where " + target + " would go";
  }
  return {};
}

}  // namespace

TargetProblem FileSystemLimit(const std::string& fileSystemName, uint64_t sizeBytes) {
  std::string name = Upper(fileSystemName);
  // exFAT carries "FAT" in its name but none of FAT's limits.
  if (name.find("EXFAT") != std::string::npos) return TargetProblem::kNone;
  // A FAT32 file's size is a 32-bit count, so 4 GiB itself does not fit.
  if (name.find("FAT32") != std::string::npos)
    return sizeBytes > 0xFFFFFFFFull ? TargetProblem::kFat32Limit : TargetProblem::kNone;
  if (name.find("FAT") != std::string::npos)
    return sizeBytes > (1ull << 31) ? TargetProblem::kFatLimit : TargetProblem::kNone;
  return TargetProblem::kNone;
}

TargetProblem CheckImageTarget(const ImageSourceInfo& source, const std::string& target,
                               std::string& message) {
  TargetProblem problem = source.devicePath.empty() && source.imagePath.empty()
                              ? TargetProblem::kNoSource
                              : CheckExistingTarget(source, target);
  if (problem == TargetProblem::kNone) problem = CheckPlace(source, target);
  message = Describe(problem, source, target);
  return problem;
}

}  // namespace salvora
