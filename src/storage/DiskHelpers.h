#pragma once
// Facts about disks and about the file system a path lies on, used by the
// disk list and by imaging's checks of its target.
#include <cstdint>
#include <string>

#include "storage/FormatSize.h"

namespace salvora {

// Removable media, or a disk on a USB, SD or MMC bus. False for a disk
// number that does not exist.
bool IsRemovableDisk(uint32_t diskNumber);

// Length in bytes of disk number N; 0 or a result code (2 when there is no
// such disk).
int DiskLength(uint32_t diskNumber, uint64_t& lengthBytes);

// Bytes the user may still write on the file system that holds `path` (or
// its nearest existing parent).
int FreeSpaceOf(const std::string& path, uint64_t& freeBytes);

// Name of the file system that holds `path`: "NTFS", "FAT32", "FAT" as the
// disk list names them, otherwise the kernel's name ("ext4", "tmpfs").
int FileSystemNameOf(const std::string& path, std::string& name);

}  // namespace salvora
