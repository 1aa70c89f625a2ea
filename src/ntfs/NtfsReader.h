#pragma once
// Reads FILE records and the facts of their attributes through a sector
// source, for one volume geometry. Stateless apart from the references it
// holds; every record goes into a buffer of kMaxRecordBytes bytes.
#include <cstdint>
#include <vector>

#include "ntfs/NtfsGeometry.h"
#include "ntfs/NtfsRecord.h"
#include "storage/SectorSource.h"

namespace salvora {

// What a copy must know about a file's unnamed $DATA besides its runs.
struct DataAttributeInfo {
  bool resident = false;
  uint16_t flags = 0;
  uint8_t compressionUnit = 0;
  uint64_t realSize = 0;
};

DataAttributeInfo DescribeData(const Attribute& data);

class NtfsReader {
 public:
  NtfsReader(SectorSource& source, const NtfsGeometry& geometry)
      : source_(source), geometry_(geometry) {}

  // Reads the record at absolute `sector` into `buffer` (kMaxRecordBytes)
  // and repairs it. 0; -1 when it is not a FILE record or its update
  // sequence does not fit; the read's error code (30 when nothing arrived).
  int ReadRecordAt(uint64_t sector, uint8_t* buffer) const;
  // The same for MFT record `recordNumber`.
  int ReadFileRecord(uint64_t recordNumber, uint8_t* buffer) const;

  // Appends the runs of the record's attribute `type` (for $DATA the
  // unnamed one). An attribute split over extension records through
  // $ATTRIBUTE_LIST (resident or not) is gathered piece by piece in the
  // order of their starting VCN. 0; -1 not a FILE record; -100 no such
  // attribute; 1392 when a listed piece is missing or belongs to another
  // file; a read's error code.
  int ReadAttributeRuns(uint64_t sector, uint32_t type, RunList& runs,
                        DataAttributeInfo* info = nullptr) const;

  // Copies a resident unnamed $DATA value (at most `capacity` bytes are
  // ever written). 0 with `length` set; -101 when the record is not a FILE
  // record, has no $DATA, or it is non-resident; 87 when the value is
  // larger than `capacity`; a read's error code.
  int ReadResidentData(uint64_t sector, uint8_t* buffer, uint32_t capacity, uint32_t& length) const;

  // Real size of the unnamed $DATA. 0; -1 not a FILE record; 87 no $DATA;
  // a read's error code.
  int ReadDataSize(uint64_t sector, uint64_t& size) const;

  // Reads the first `size` bytes that `runs` hold (sparse runs as zeros)
  // into `out`. 0, 87 when the runs hold fewer bytes or the size is beyond
  // `maxBytes`, or a read's error code.
  int ReadRunData(const RunList& runs, uint64_t size, uint64_t maxBytes,
                  std::vector<uint8_t>& out) const;

  const NtfsGeometry& Geometry() const { return geometry_; }
  SectorSource& Source() const { return source_; }

 private:
  int ReadListBytes(const Attribute& list, std::vector<uint8_t>& bytes) const;
  int GatherListedPieces(const uint8_t* base, const Attribute& list, uint32_t type, RunList& runs,
                         DataAttributeInfo* info) const;

  SectorSource& source_;
  const NtfsGeometry& geometry_;
};

// Reads the boot sector at `partitionStart` (in the device's sectors),
// fills the geometry and loads the MFT's runs. 0, 87 when it is no usable
// NTFS boot sector, or a read's error code. A volume whose MFT runs cannot
// be read still opens, with no runs: its scan then finds nothing.
int LoadGeometry(SectorSource& source, uint64_t partitionStart, uint64_t totalSectors,
                 NtfsGeometry& geometry);

}  // namespace salvora
