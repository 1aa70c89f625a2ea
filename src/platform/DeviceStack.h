#pragma once
// Which physical disk really holds a file: through partitions, FUSE file
// systems, device-mapper and md stacks, and loop devices backed by files.
// Imaging and recovery must never write onto the disk they read.
#include <string>

namespace salvora {

// The kernel name of the whole disk behind a block device node ("sdb" for
// "/dev/sdb1"); false when the node is not a block device.
bool WholeDiskNameOfNode(const std::string& nodePath, std::string& diskName);

// True when the file system that holds `path` (or its nearest existing
// parent) stores its data on disk `diskName`.
bool PathIsStoredOnDisk(const std::string& path, const std::string& diskName);

}  // namespace salvora
