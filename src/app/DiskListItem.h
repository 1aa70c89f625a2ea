#pragma once
// What one row of the disk list stands for: a volume, an unallocated
// stretch, a whole disk or an image file, and the engine its last scan
// created. The main window owns the items; a scan's worker replaces the
// engine while the window waits for it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "storage/IFileRecoveryParse.h"
#include "storage/PartitionRecord.h"

namespace salvora {

struct DiskListItem {
  // Empty for an image file.
  std::optional<PartitionRecord> record;
  std::string imagePath;
  std::string imageFileSystem;  // what a plain image holds, as the list names it
  // The source tag of every record found through this item. Unique among
  // all items of a session: disk numbers and ordinals shift on Linux when a
  // disk comes or goes, and image numbers would collide with ordinals.
  uint16_t key = 0;
  std::unique_ptr<IFileRecoveryParse> engine;

  bool IsImage() const { return !record.has_value(); }
  // What a scan of this row reads: the device node, or the image file.
  const std::string& SourcePath() const { return record ? record->devicePath : imagePath; }
};

}  // namespace salvora
