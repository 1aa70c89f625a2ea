#include <algorithm>

#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"

namespace salvora {
namespace {

constexpr uint32_t kPacketBytes = 188;
constexpr uint8_t kSyncByte = 0x47;
constexpr uint32_t kProbeBytes = 4096;
constexpr uint32_t kProbePackets = 22;

// Sync bytes at every packet start of the sector that lies inside it.
bool SectorHoldsPacketGrid(const uint8_t* bytes, uint32_t count) {
  for (uint32_t offset = 0; offset <= count / kPacketBytes * kPacketBytes && offset < count;
       offset += kPacketBytes) {
    if (bytes[offset] != kSyncByte) return false;
  }
  return true;
}

// The first 4 KiB from the cursor keep the grid too.
bool StreamContinuesForFourKiB(CarveContext& context) {
  if (!context.SectorSizeUsable()) return false;
  uint32_t sectors = std::max<uint32_t>(1, kProbeBytes / context.SectorBytes());
  if (sectors * context.SectorBytes() < kProbeBytes) ++sectors;
  uint8_t* probe = context.ProbeBuffer();
  if (!context.ReadExact(context.cursorSector, sectors, probe)) return false;
  for (uint32_t i = 0; i < kProbePackets; ++i)
    if (probe[i * kPacketBytes] != kSyncByte) return false;
  return true;
}

// True when the sector before the cursor ends with packets whose grid runs
// on into this sector; a failed read counts as such.
bool ContinuesPreviousSector(CarveContext& context) {
  if (context.cursorSector == 0) return false;
  uint8_t* probe = context.ProbeBuffer();
  if (!context.ReadExact(context.cursorSector - 1, 1, probe)) return true;
  for (int64_t offset = static_cast<int64_t>(context.sectorSize) - kPacketBytes; offset >= 0;
       offset -= kPacketBytes) {
    if (probe[offset] == kSyncByte) return true;
  }
  return false;
}

bool InsideCarvedStream(const CarveContext& context) {
  for (const SectorRange& range : context.tsRanges)
    if (context.cursorSector >= range.first && context.cursorSector <= range.last) return true;
  return false;
}

}  // namespace

int DetectTransportStream(CarveContext& context, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < kPacketBytes) return kTypeNone;
  if (bytes[0] != kSyncByte || (bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0)) return kTypeNone;
  if (!SectorHoldsPacketGrid(bytes, count) || !StreamContinuesForFourKiB(context)) return kTypeNone;
  if (context.tsFollowFlag && (ContinuesPreviousSector(context) || InsideCarvedStream(context)))
    return kTypeNone;
  return kTypeTransportStream;
}

}  // namespace salvora
