#include "imaging/ImageTargetCheck.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/DeviceStack.h"
#include "platform/ErrorCodes.h"
#include "storage/DiskHelpers.h"

namespace salvora {
namespace fs = std::filesystem;
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

TargetProblem CheckExistingTarget(const ImageSourceInfo& source, const std::string& target) {
  std::error_code ec;
  fs::file_status status = fs::symlink_status(target, ec);
  if (ec || !fs::exists(status)) return TargetProblem::kNone;
  if (!fs::is_regular_file(status)) return TargetProblem::kNotAFile;
  std::vector<std::string> files = source.filesInUse;
  files.push_back(source.imagePath);
  files.push_back(source.devicePath);  // an entry of a whole-disk image names the image
  for (const std::string& file : files)
    if (!file.empty() && fs::equivalent(file, target, ec)) return TargetProblem::kSameFile;
  return TargetProblem::kNone;
}

TargetProblem CheckPlace(const ImageSourceInfo& source, const std::string& target) {
  std::vector<std::string> devices = source.devicesInUse;
  devices.push_back(source.devicePath);
  for (const std::string& device : devices) {
    std::string diskName;
    if (!device.empty() && WholeDiskNameOfNode(device, diskName) &&
        PathIsStoredOnDisk(target, diskName))
      return TargetProblem::kOnSourceDisk;
  }
  std::string fileSystem;
  if (FileSystemNameOf(target, fileSystem) == kOk) {
    TargetProblem limit = FileSystemLimit(fileSystem, source.sizeBytes);
    if (limit != TargetProblem::kNone) return limit;
  }
  uint64_t freeBytes = 0;
  if (FreeSpaceOf(target, freeBytes) != kOk) return TargetProblem::kNone;
  // An existing target is replaced, so the space it holds counts as free.
  std::error_code ec;
  if (fs::is_regular_file(target, ec)) freeBytes += fs::file_size(target, ec);
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
      return target + " is an image file being read; name another file";
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
