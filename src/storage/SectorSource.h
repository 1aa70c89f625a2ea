#pragma once
// The one road by which engines read a volume: whole sectors at 64-bit
// offsets, bounded by the number of sectors the source holds. Sources are
// always opened read-only; nothing is ever written to what is scanned.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/OutputFile.h"
#include "platform/RandomAccessFile.h"
#include "storage/UnreadAreas.h"

namespace salvora {

class SectorSource {
 public:
  // Opens disk number N (the platform's whole-disk numbering). The sector
  // count is the device length divided by its logical sector size.
  int OpenDisk(uint32_t diskNumber, std::string* message = nullptr);
  // Opens a disk or partition by its node, counted in its logical sectors
  // (callers that hold a node avoid a disk number that may have moved).
  int OpenDevice(const std::string& path, std::string* message = nullptr);
  // Opens an image file; its sector count is always in 512-byte units.
  int OpenImage(const std::string& path, std::string* message = nullptr);
  // Puts an already open file in place (tests use a file that fails on
  // chosen sectors); the source owns it from now on.
  void Attach(std::unique_ptr<RandomAccessFile> file, uint64_t sectorCount);
  void Close();

  // Reads `count` sectors of `sectorSize` bytes from `firstSector`
  // (absolute). 87 when the request leaves the source or is malformed (the
  // out-count untouched); 30 when the device stops delivering, with
  // `sectorsRead` holding the whole sectors that did arrive.
  int ReadSectors(int32_t count, void* buffer, uint64_t firstSector, int32_t sectorSize,
                  uint32_t& sectorsRead);
  // Reads as ReadSectors, for a look a scan can do without: a failure is
  // returned but neither kept as the scan's failure nor noted as unread.
  int TryReadSectors(int32_t count, void* buffer, uint64_t firstSector, int32_t sectorSize,
                     uint32_t& sectorsRead);
  // Reads `count` sectors from `firstSector` in as few large reads as the
  // device gives, for a walk that looks at them in pieces of `pieceSectors`
  // (the last piece may be shorter). Where the device stops delivering, that
  // piece keeps the whole sectors that arrived before and reading goes on
  // with the next piece, exactly as one ReadSectors call per piece would
  // have it; `piecesRead` gets the sectors of each piece. 87 as ReadSectors;
  // 30 when any piece came short.
  int ReadPieces(uint32_t count, uint32_t pieceSectors, void* buffer, uint64_t firstSector,
                 int32_t sectorSize, std::vector<uint32_t>& piecesRead);

  // The first read the device failed (30), 0 when none did. Scans go on
  // past sectors the disk will not give and end with this, so that what
  // they found is kept and the failure still told.
  int FirstFailure() const { return firstFailure_; }
  // The stretches, in bytes of the opened file, that failed reads left out.
  const UnreadAreas& Unread() const { return *unread_; }

  bool IsOpen() const { return file_ != nullptr; }
  uint64_t SectorCount() const { return sectorCount_; }
  // Logical sector size of the device (512 for image files).
  uint32_t DeviceSectorSize() const { return file_ ? file_->LogicalSectorSize() : 512; }
  RandomAccessFile* File() const { return file_.get(); }
  // The device node or image file opened; empty for an attached file.
  const std::string& Path() const { return path_; }

 private:
  // The byte offset of `firstSector`, when `count` sectors from there lie
  // inside the source.
  bool ByteOffset(uint64_t count, uint64_t firstSector, int32_t sectorSize, uint64_t& offset) const;
  int Read(int32_t count, void* buffer, uint64_t firstSector, int32_t sectorSize,
           uint32_t& sectorsRead, bool noteFailure);
  void NoteFailure(int result) {
    if (result != 0 && firstFailure_ == 0) firstFailure_ = result;
  }

  std::unique_ptr<RandomAccessFile> file_;
  uint64_t sectorCount_ = 0;
  int firstFailure_ = 0;
  std::string path_;
  std::unique_ptr<UnreadAreas> unread_ = std::make_unique<UnreadAreas>();
};

// Largest single read or write: callers may ask for long runs while each
// transfer stays bounded.
constexpr uint32_t kTransferChunkBytes = 0x10000;

// Reads `byteCount` bytes at `offset` in chunks of at most 64 KiB. Returns
// 0, or 30 when a read fails or delivers nothing; `bytesRead` holds what
// arrived.
int ReadChunked(RandomAccessFile& file, void* buffer, uint64_t offset, uint64_t byteCount,
                uint64_t& bytesRead);

// Sequential transfer helpers of the imaging copier: `position` is the
// file position, advanced by what was read.
int ReadSequential(int32_t sectorCount, RandomAccessFile& file, uint64_t& position, void* buffer,
                   int32_t sectorSize, uint32_t& sectorsRead);
int WriteSequential(OutputFile& out, const void* buffer, int32_t sectorCount, int32_t sectorSize,
                    uint32_t& sectorsWritten);

}  // namespace salvora
