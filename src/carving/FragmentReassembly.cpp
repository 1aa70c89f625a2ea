#include "carving/FragmentReassembly.h"

#include <algorithm>

#include "carving/FileTypeCode.h"

namespace salvora {

bool FragmentSearch::Spend(uint64_t bytes) {
  if (bytes > workLeft) {
    workLeft = 0;
    return false;
  }
  workLeft -= bytes;
  return true;
}

uint64_t FragmentSearch::TailSectors(uint64_t sector) const {
  return std::min<uint64_t>(kRebuiltFileCapBytes / SectorBytes() + 1,
                            cache.SectorsLeftFrom(sector));
}

namespace {

using Reassemble = Reassembly (*)(FragmentSearch&);

Reassemble ReassemblerOf(int type) {
  switch (type) {
    case kTypePng:
      return ReassemblePng;
    case kTypeJpeg:
      return ReassembleJpeg;
    case kTypeZip:
    case kTypeOoxmlWord:
    case kTypeOoxmlSheet:
    case kTypeOoxmlSlides:
    case kTypeOoxmlOther:
      return ReassembleZip;
    case kTypeMp4:
    case kTypeQuickTime:
    case kType3gpp:
    case kTypeM4v:
      return ReassembleMovie;
    case kTypePdf:
      return ReassemblePdf;
    default:
      return nullptr;
  }
}

}  // namespace

Reassembly FragmentReassembler::Examine(CarveContext& context, int type, uint64_t measuredSize,
                                        uint64_t clusterSectors) {
  Reassemble reassemble = ReassemblerOf(type);
  if (!reassemble) return {};
  cache_.Begin(context);
  if (cache_.SectorBytes() == 0 || scanWorkLeft_ == 0) return {};
  FragmentSearch search{cache_, context.fileStartSector, measuredSize,
                        std::min(kFileWork, scanWorkLeft_), std::max<uint64_t>(clusterSectors, 1)};
  const uint64_t budget = search.workLeft;
  Reassembly result = reassemble(search);
  // Checking a whole file costs what measuring it does; only searches
  // draw on the scan's budget.
  if (result.outcome != FragmentOutcome::kWhole) scanWorkLeft_ -= budget - search.workLeft;
  // A stopped search proves nothing about the file.
  if (search.Stopped()) return {};
  return result;
}

}  // namespace salvora
