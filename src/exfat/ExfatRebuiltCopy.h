#pragma once
// A file whose chain is gone (deleted, or on a card formatted again) is
// read on through the free clusters after its first one, which need not
// be the rest of it. Where its format shows that they are not, and shows
// without a guess where the rest lies, the runs it validates are copied.
#include "fat/FatBootSector.h"
#include "results/FoundRecord.h"
#include "storage/DataSink.h"
#include "storage/SectorSource.h"

namespace salvora {

// True when the file was rebuilt and copied, `result` holding the copy's
// answer; false to copy it as the volume says.
bool CopyRebuiltExfatFile(SectorSource& source, int sectorSize, const FatLayout& layout,
                          const FoundRecord& record, DataSink& sink, int& result);

}  // namespace salvora
