#pragma once
// A RandomAccessFile over bytes in memory. It can be told to fail on chosen
// sectors and to deliver short reads, the way a dying disk does, so that
// every reader can be tried against one.
#include <set>
#include <string>

#include "platform/RandomAccessFile.h"

namespace salvora {

class MemoryFile final : public RandomAccessFile {
 public:
  explicit MemoryFile(std::string bytes, uint32_t sectorSize = 512)
      : bytes_(std::move(bytes)), sectorSize_(sectorSize) {}
  // Reads touching this 512-byte sector fail with EIO.
  void FailSector(uint64_t sector) { badSectors_.insert(sector); }
  // Reads return at most this many bytes at a time (short reads).
  void LimitReadSize(size_t bytes) { maxRead_ = bytes; }

  long long ReadAt(void* buffer, size_t length, uint64_t offset) override;
  uint64_t Size() const override { return bytes_.size(); }
  uint32_t LogicalSectorSize() const override { return sectorSize_; }
  bool IsBlockDevice() const override { return false; }

 private:
  std::string bytes_;
  uint32_t sectorSize_;
  std::set<uint64_t> badSectors_;
  size_t maxRead_ = 0;
};

}  // namespace salvora
