#pragma once
// What the rows of the disk list are to the jobs: a volume of a disk known
// by its disk's node, an image file, and the engine each row's last scan
// left, found again by the row's key.
#include <vector>

#include "app/DiskListItem.h"
#include "jobs/CollectJob.h"
#include "jobs/JobSource.h"
#include "jobs/RecoverJob.h"

namespace salvora {

JobSource JobSourceOf(const DiskListItem& item);
std::vector<CollectSource> CollectSourcesOf(const std::vector<DiskListItem*>& items);
std::vector<RecoverySource> RecoverySourcesOf(const std::vector<DiskListItem*>& items);

}  // namespace salvora
