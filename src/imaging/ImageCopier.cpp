#include "imaging/ImageCopier.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "imaging/TimeEstimate.h"
#include "platform/Clock.h"
#include "platform/ErrorCodes.h"

namespace salvora {
namespace {

int32_t PercentOf(uint64_t done, uint64_t total) {
  if (total == 0) return 100;
  return static_cast<int32_t>(static_cast<unsigned __int128>(done) * 100 / total);
}

}  // namespace

int ImageCopier::Run(uint32_t diskNumber, uint64_t firstSector, uint64_t sectorCount,
                     const std::string& target) {
  SectorSource source;
  int result = source.OpenDisk(diskNumber);
  if (result != kOk) return result;
  return RunFrom(source, firstSector, sectorCount, target);
}

int ImageCopier::RunFrom(SectorSource& source, uint64_t firstSector, uint64_t sectorCount,
                         const std::string& target) {
  map_ = RescueMap();
  copiedBytes_ = 0;
  sectorSize_ = source.DeviceSectorSize();
  // Chunks hold whole sectors only when the sector size divides them.
  if (!source.IsOpen() || sectorSize_ == 0 || kTransferChunkBytes % sectorSize_ != 0 ||
      firstSector > source.SectorCount())
    return kInvalidParameter;
  uint64_t available = source.SectorCount() - firstSector;
  if (sectorCount == 0) sectorCount = available;
  if (sectorCount > available) return kInvalidParameter;
  totalBytes_ = sectorCount * sectorSize_;
  // An older, longer image at the same path must not keep its tail; but
  // only a file is ever replaced, never a device node or a link.
  std::error_code ec;
  std::filesystem::file_status status = std::filesystem::symlink_status(target, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    return kInvalidParameter;
  OutputFile image;
  int result = image.CreateReplacing(target);
  if (result != kOk) return result;
  buffer_.assign(kTransferChunkBytes, 0);
  result = CopyAll(source, firstSector, image);
  int closed = image.Close();
  return result == kOk ? closed : result;
}

int ImageCopier::CopyAll(SectorSource& source, uint64_t firstSector, OutputFile& image) {
  TimeEstimate estimate(SteadyMilliseconds());
  uint64_t& done = copiedBytes_;
  int result = kOk;
  while (done < totalBytes_) {
    uint64_t chunk = std::min<uint64_t>(kTransferChunkBytes, totalBytes_ - done);
    uint32_t count = static_cast<uint32_t>(chunk / sectorSize_);
    result = ReadChunk(source, firstSector + done / sectorSize_, count, done);
    if (result == kOk) result = image.Write(buffer_.data(), chunk);
    if (result != kOk) break;
    done += chunk;
    int32_t secondsLeft = estimate.Update(SteadyMilliseconds(), done, totalBytes_);
    if (progress_) {
      result = progress_(user_, PercentOf(done, totalBytes_), done / sectorSize_,
                         totalBytes_ / sectorSize_, secondsLeft);
      if (result != kOk) break;
    }
  }
  int mapResult = WriteMapfile(done);
  return result != kOk ? result : mapResult;
}

int ImageCopier::ReadChunk(SectorSource& source, uint64_t sector, uint32_t count,
                           uint64_t imageOffset) {
  uint32_t got = 0;
  int result = source.ReadSectors(static_cast<int32_t>(count), buffer_.data(), sector,
                                  static_cast<int32_t>(sectorSize_), got);
  if (result == kOk || !policy_.skipUnreadable || result != kReadFault) return result;
  // The sectors that did arrive are good; every other one gets its own try
  // so that one bad sector costs one sector of the image, not a chunk.
  for (uint32_t i = std::min(got, count); i < count; ++i) {
    uint8_t* place = buffer_.data() + static_cast<size_t>(i) * sectorSize_;
    uint32_t one = 0;
    if (source.ReadSectors(1, place, sector + i, static_cast<int32_t>(sectorSize_), one) == kOk)
      continue;
    std::memset(place, 0, sectorSize_);
    map_.MarkUnreadable(imageOffset + static_cast<uint64_t>(i) * sectorSize_, sectorSize_);
  }
  return kOk;
}

int ImageCopier::WriteMapfile(uint64_t copiedBytes) const {
  if (!policy_.skipUnreadable || policy_.mapfilePath.empty()) return kOk;
  std::string text = map_.Render(policy_.mapOrigin, copiedBytes, totalBytes_);
  OutputFile mapfile;
  int result = mapfile.CreateReplacing(policy_.mapfilePath);
  if (result == kOk) result = mapfile.Write(text.data(), text.size());
  int closed = mapfile.Close();
  return result == kOk ? closed : result;
}

uint64_t ImageCopier::UnreadableSectors() const { return map_.UnreadableBytes() / sectorSize_; }

}  // namespace salvora
