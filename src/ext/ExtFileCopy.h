#pragma once
// Copies a found file out of an ext volume along the runs of the version
// of its inode that still maps it: holes and unwritten extents as zeros,
// inline data and fast symlink targets from the inode itself. A block the
// bitmaps show allocated now belongs to another file: it is not copied,
// and the copy ends reporting the file damaged instead of passing foreign
// bytes for the file's own.
#include "ext/ExtDeletedInode.h"
#include "ext/ExtVolume.h"
#include "storage/DataSink.h"

namespace salvora {

// 0; 1392 when part of the file is lost (taken by other data, or no
// version maps it) or when it may be another deleted file's; a read
// error; or a callback's answer.
int CopyExtFile(ExtVolume& volume, const ExtResolved& resolved, DataSink& sink);

}  // namespace salvora
