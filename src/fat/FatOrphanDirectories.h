#pragma once
// Directories whose own entry is gone (their parent was overwritten, or
// deleted itself and its cluster reused) are reached by no walk from the
// root, yet their first cluster may still start with the "." and ".."
// entries every directory begins with. Such clusters are looked for among
// the free clusters only, one sector each, so that the search stays a small
// part of a quick scan.
#include <cstdint>
#include <functional>
#include <vector>

#include "clusters/FatVolumeReader.h"
#include "fat/FatDirEntry.h"
#include "fat/FatUsageMap.h"

namespace salvora {

struct OrphanDirectory {
  uint32_t cluster = 0;
  uint32_t parent = 0;  // as its ".." entry names it; the root's cluster for 0
  FatDirEntry dot{};    // its "." entry, which carries the directory's times
};

// Every free cluster, in cluster order, whose first sector starts a
// directory, except those `alreadyWalked` accepts. The search reads a
// bounded amount from the volume's start on, and ends at the first read the
// disk fails; its reads never count as the scan's failure.
std::vector<OrphanDirectory> FindOrphanDirectories(
    const FatVolumeReader& volume, const FatUsageMap& usage,
    const std::function<bool(uint32_t)>& alreadyWalked);

}  // namespace salvora
