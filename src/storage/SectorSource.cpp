#include "storage/SectorSource.h"

#include <algorithm>

#include "platform/BlockDevices.h"
#include "platform/ErrorCodes.h"
#include "storage/ImageDisks.h"

namespace salvora {

int SectorSource::OpenDisk(uint32_t diskNumber, std::string* message) {
  std::string path;
  if (!DiskNumberPath(diskNumber, path)) {
    if (message) *message = "there is no disk number " + std::to_string(diskNumber);
    return kFileNotFound;
  }
  return OpenDevice(path, message);
}

int SectorSource::OpenDevice(const std::string& path, std::string* message) {
  std::unique_ptr<RandomAccessFile> file;
  int result = OpenRandomAccessFile(path, file, message);
  if (result != kOk) return result;
  uint64_t count = file->Size() / file->LogicalSectorSize();
  Attach(std::move(file), count);
  path_ = path;
  return kOk;
}

int SectorSource::OpenImage(const std::string& path, std::string* message) {
  std::unique_ptr<RandomAccessFile> file;
  int result = OpenRandomAccessFile(path, file, message);
  if (result != kOk) return result;
  uint64_t count = file->Size() / 512;
  Attach(std::move(file), count);
  path_ = path;
  return kOk;
}

void SectorSource::Attach(std::unique_ptr<RandomAccessFile> file, uint64_t sectorCount) {
  file_ = std::move(file);
  sectorCount_ = file_ ? sectorCount : 0;
  path_.clear();
  unread_ = std::make_unique<UnreadAreas>();
}

void SectorSource::Close() {
  file_.reset();
  sectorCount_ = 0;
  path_.clear();
}

bool SectorSource::ByteOffset(uint64_t count, uint64_t firstSector, int32_t sectorSize,
                              uint64_t& offset) const {
  if (!file_ || sectorSize <= 0 || firstSector > sectorCount_ || count > sectorCount_ - firstSector)
    return false;
  offset = firstSector * static_cast<uint64_t>(sectorSize);
  return offset / static_cast<uint64_t>(sectorSize) == firstSector;
}

int SectorSource::ReadSectors(int32_t count, void* buffer, uint64_t firstSector,
                              int32_t sectorSize, uint32_t& sectorsRead) {
  return Read(count, buffer, firstSector, sectorSize, sectorsRead, true);
}

int SectorSource::TryReadSectors(int32_t count, void* buffer, uint64_t firstSector,
                                 int32_t sectorSize, uint32_t& sectorsRead) {
  return Read(count, buffer, firstSector, sectorSize, sectorsRead, false);
}

int SectorSource::Read(int32_t count, void* buffer, uint64_t firstSector, int32_t sectorSize,
                       uint32_t& sectorsRead, bool noteFailure) {
  uint64_t offset = 0;
  if (count < 0 || !ByteOffset(static_cast<uint64_t>(count), firstSector, sectorSize, offset))
    return kInvalidParameter;
  uint64_t wanted = static_cast<uint64_t>(count) * static_cast<uint64_t>(sectorSize);
  uint64_t got = 0;
  int result = ReadChunked(*file_, buffer, offset, wanted, got);
  sectorsRead = static_cast<uint32_t>(got / static_cast<uint64_t>(sectorSize));
  uint64_t whole = sectorsRead * static_cast<uint64_t>(sectorSize);
  if (!noteFailure) return result;
  if (result != kOk) unread_->Note(offset + whole, wanted - whole);
  NoteFailure(result);
  return result;
}

int SectorSource::ReadPieces(uint32_t count, uint32_t pieceSectors, void* buffer,
                             uint64_t firstSector, int32_t sectorSize,
                             std::vector<uint32_t>& piecesRead) {
  uint64_t offset = 0;
  piecesRead.assign(pieceSectors == 0 ? 0 : (count + pieceSectors - 1) / pieceSectors, 0);
  if (pieceSectors == 0 || !ByteOffset(count, firstSector, sectorSize, offset))
    return kInvalidParameter;
  const uint64_t sectorBytes = static_cast<uint64_t>(sectorSize);
  const uint64_t pieceBytes = pieceSectors * sectorBytes, total = count * sectorBytes;
  std::fill(piecesRead.begin(), piecesRead.end(), pieceSectors);
  if (count % pieceSectors != 0) piecesRead.back() = count % pieceSectors;
  auto* out = static_cast<uint8_t*>(buffer);
  int result = kOk;
  for (uint64_t at = 0; at < total;) {
    long long n = file_->ReadAt(out + at, static_cast<size_t>(total - at), offset + at);
    if (n > 0) {
      at += static_cast<uint64_t>(n);
      continue;
    }
    uint64_t piece = at / pieceBytes;
    piecesRead[piece] = static_cast<uint32_t>((at - piece * pieceBytes) / sectorBytes);
    result = kReadFault;
    uint64_t gapStart = piece * pieceBytes + piecesRead[piece] * sectorBytes;
    at = std::min((piece + 1) * pieceBytes, total);
    unread_->Note(offset + gapStart, at - gapStart);
  }
  NoteFailure(result);
  return result;
}

int ReadChunked(RandomAccessFile& file, void* buffer, uint64_t offset, uint64_t byteCount,
                uint64_t& bytesRead) {
  auto* out = static_cast<unsigned char*>(buffer);
  bytesRead = 0;
  while (bytesRead < byteCount) {
    uint64_t chunk = std::min<uint64_t>(byteCount - bytesRead, kTransferChunkBytes);
    long long n = file.ReadAt(out + bytesRead, chunk, offset + bytesRead);
    if (n <= 0) return kReadFault;
    bytesRead += static_cast<uint64_t>(n);
  }
  return kOk;
}

int ReadSequential(int32_t sectorCount, RandomAccessFile& file, uint64_t& position, void* buffer,
                   int32_t sectorSize, uint32_t& sectorsRead) {
  if (sectorCount < 0 || sectorSize <= 0) return kInvalidParameter;
  uint64_t wanted = static_cast<uint64_t>(sectorCount) * static_cast<uint64_t>(sectorSize);
  uint64_t got = 0;
  int result = ReadChunked(file, buffer, position, wanted, got);
  position += got;
  sectorsRead = static_cast<uint32_t>(got / static_cast<uint64_t>(sectorSize));
  return result;
}

int WriteSequential(OutputFile& out, const void* buffer, int32_t sectorCount, int32_t sectorSize,
                    uint32_t& sectorsWritten) {
  sectorsWritten = 0;
  if (sectorCount < 0 || sectorSize <= 0) return kInvalidParameter;
  uint64_t bytes = static_cast<uint64_t>(sectorCount) * static_cast<uint64_t>(sectorSize);
  int result = out.Write(buffer, bytes);
  if (result == kOk) sectorsWritten = static_cast<uint32_t>(sectorCount);
  return result;
}

}  // namespace salvora
