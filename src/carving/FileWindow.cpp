#include "carving/FileWindow.h"

#include <algorithm>

namespace salvora {

FileWindow::FileWindow(CarveContext& context, uint64_t capBytes)
    : context_(context), buffer_(context.ScanBuffer()) {
  if (!context.SectorSizeUsable()) return;
  const uint64_t sectorBytes = context.SectorBytes();
  uint64_t sourceBytes = context.SectorsLeftFrom(context.fileStartSector) * sectorBytes;
  limit_ = std::min(sourceBytes,
                    capBytes > UINT64_MAX - sectorBytes ? UINT64_MAX : capBytes + sectorBytes);
  reached_ = std::min<uint64_t>(sectorBytes, limit_);
}

const uint8_t* FileWindow::At(uint64_t offset, uint32_t length) {
  if (length == 0 || length > kMaxSpan || offset >= limit_ || limit_ - offset < length)
    return nullptr;
  if (offset < start_ || offset + length > end_) {
    if (!Load(offset) || offset + length > end_) return nullptr;
  }
  return buffer_ + (offset - start_);
}

const uint8_t* FileWindow::From(uint64_t offset, uint32_t& available) {
  if (offset >= limit_) return nullptr;
  if ((offset < start_ || offset >= end_) && !Load(offset)) return nullptr;
  available = static_cast<uint32_t>(end_ - offset);
  return buffer_ + (offset - start_);
}

// Reads the chunk that starts with the sector holding `offset`.
bool FileWindow::Load(uint64_t offset) {
  if (stopped_) return false;
  const uint32_t sectorBytes = context_.SectorBytes();
  uint64_t first = offset / sectorBytes;
  uint64_t sectorsLeft = (limit_ + sectorBytes - 1) / sectorBytes - first;
  uint32_t count =
      static_cast<uint32_t>(std::min<uint64_t>(kScanBufferBytes / sectorBytes, sectorsLeft));
  start_ = end_ = 0;
  if (count == 0 || !context_.ReadExact(context_.fileStartSector + first, count, buffer_))
    return false;
  start_ = first * sectorBytes;
  end_ = std::min(limit_, start_ + uint64_t{count} * sectorBytes);
  reached_ = std::max(reached_, end_);
  if (!context_.ReportProgress(context_.sectorsDone + first + count)) {
    stopped_ = true;
    start_ = end_ = 0;
    return false;
  }
  return true;
}

}  // namespace salvora
