#pragma once
// Bytes of an ext volume at any offset: ext blocks (1 KiB and up) need not
// line up with the device's sectors, so reads are widened to whole sectors
// here and nowhere else. Tests and fuzz targets read from memory instead.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/SectorSource.h"

namespace salvora {

class ExtByteSource {
 public:
  virtual ~ExtByteSource() = default;
  // Volume bytes the source holds.
  virtual uint64_t Size() const = 0;
  // Fills `out` with `length` bytes at `offset`; 0, or an error code with
  // what could not be read left zero.
  virtual int Read(uint64_t offset, size_t length, uint8_t* out) = 0;
};

class ExtSectorBytes final : public ExtByteSource {
 public:
  ExtSectorBytes(SectorSource& source, uint64_t firstSector, uint64_t sectorCount,
                 uint32_t sectorSize)
      : source_(source), firstSector_(firstSector), sectorCount_(sectorCount),
        sectorSize_(sectorSize) {}
  uint64_t Size() const override { return sectorCount_ * sectorSize_; }
  int Read(uint64_t offset, size_t length, uint8_t* out) override;

 private:
  SectorSource& source_;
  uint64_t firstSector_;
  uint64_t sectorCount_;
  uint32_t sectorSize_;
  std::vector<uint8_t> bounce_;
};

class ExtMemoryBytes final : public ExtByteSource {
 public:
  ExtMemoryBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  int Read(uint64_t offset, size_t length, uint8_t* out) override;

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace salvora
