#pragma once
// An image of a whole disk is scanned like the disk it was made from: each
// such image gets a disk number of its own, so its partitions open through
// the engines' disk road (first sector and sector count on the disk) and
// every engine reads them without knowing that a file lies underneath.
#include <cstdint>
#include <string>

namespace salvora {

// Image disks are numbered from here on, far beyond any real disk.
constexpr uint32_t kFirstImageDiskNumber = 0x40000000;

// The disk number of the image (the same for the same file within a
// process, whichever way its path is written).
uint32_t ImageDiskNumber(const std::string& imagePath);
// The image file an image disk number stands for; false for other numbers.
bool ImageOfDiskNumber(uint32_t diskNumber, std::string& imagePath);
// What a disk number opens: the disk's device node, or the image file.
bool DiskNumberPath(uint32_t diskNumber, std::string& path);

}  // namespace salvora
