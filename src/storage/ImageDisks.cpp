#include "storage/ImageDisks.h"

#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/BlockDevices.h"

namespace salvora {
namespace {

// Scans and the windows that list images run on different threads.
std::mutex imagesLock;
std::vector<std::string> images;  // index + kFirstImageDiskNumber = disk number

std::string CanonicalPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path normal = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : normal.string();
}

}  // namespace

uint32_t ImageDiskNumber(const std::string& imagePath) {
  std::string path = CanonicalPath(imagePath);
  std::lock_guard<std::mutex> hold(imagesLock);
  for (size_t i = 0; i < images.size(); ++i)
    if (images[i] == path) return kFirstImageDiskNumber + static_cast<uint32_t>(i);
  images.push_back(path);
  return kFirstImageDiskNumber + static_cast<uint32_t>(images.size() - 1);
}

bool ImageOfDiskNumber(uint32_t diskNumber, std::string& imagePath) {
  if (diskNumber < kFirstImageDiskNumber) return false;
  std::lock_guard<std::mutex> hold(imagesLock);
  size_t index = diskNumber - kFirstImageDiskNumber;
  if (index >= images.size()) return false;
  imagePath = images[index];
  return true;
}

bool DiskNumberPath(uint32_t diskNumber, std::string& path) {
  return ImageOfDiskNumber(diskNumber, path) || DiskDevicePath(diskNumber, path);
}

}  // namespace salvora
