#pragma once
// The group descriptors of an ext volume: where each group keeps its block
// bitmap, inode bitmap and inode table. Each descriptor is taken from the
// first copy (the primary table, then the backups in later groups) whose
// checksum holds and whose blocks lie inside the volume.
#include <cstdint>
#include <vector>

#include "ext/ExtByteSource.h"
#include "ext/ExtSuperblock.h"

namespace salvora {

struct ExtGroup {
  uint64_t blockBitmap = 0;
  uint64_t inodeBitmap = 0;
  uint64_t inodeTable = 0;
  uint16_t flags = 0;
  bool usable = false;  // no copy of this descriptor could be trusted
  bool BlockBitmapUnused() const { return (flags & 0x2) != 0; }
  bool InodesUnused() const { return (flags & 0x1) != 0; }
};

// Reads one descriptor from its raw bytes; false when it points outside the
// volume or its checksum fails.
bool ParseExtGroup(const ExtSuperblock& sb, uint32_t group, const uint8_t* raw, ExtGroup& out);

// Reads every group's descriptor; 0, or an error when not even one group
// could be read.
int ReadExtGroups(ExtByteSource& bytes, const ExtSuperblock& sb, std::vector<ExtGroup>& out);

}  // namespace salvora
