#pragma once
// Everything identification and measuring share while one candidate file is
// looked at: where it starts, where the detectors are looking, the source,
// the progress of the scan that runs them and the transport-stream memory
// that carries from one identification to the next. A scan owns one and
// passes it by reference; the content check of other engines uses its own,
// so the two never disturb each other.
#include <cstdint>
#include <vector>

#include "storage/Callbacks.h"
#include "storage/SectorSource.h"

namespace salvora {

constexpr uint32_t kScanBufferBytes = 0x10000;
constexpr uint32_t kProbeBufferBytes = 4 * kScanBufferBytes + 8;

// Sectors one transport stream was carved over, both ends included.
struct SectorRange {
  uint64_t first;
  uint64_t last;
};

// Whether a sector holds the structures of a file system, which end a carved
// file although no known file starts there.
using MetadataSectorTest = bool (*)(const uint8_t* sector, uint32_t sectorBytes);

// The sectors that the scan driving carving has read ahead and holds in
// memory. Measure rules and detectors look here before they read the disk,
// so that a sector the scan holds is not read a second time, and ask here
// whether a held sector holds file-system metadata, which the scan works
// out once for each sector it holds.
class HeldSectors {
 public:
  virtual ~HeldSectors() = default;
  // The `count` sectors from absolute sector `first` as one run of bytes,
  // when the scan holds every one of them (copied into `scratch`, which
  // has room for them, when they lie apart); null otherwise.
  virtual const uint8_t* Find(uint64_t first, uint32_t count, uint8_t* scratch) = 0;
  // Whether a sector that Find handed out holds file-system metadata (1 or
  // 0), worked out once for each held sector; -1 for any other bytes.
  virtual int HeldMetadata(const uint8_t* sector, uint32_t sectorBytes) = 0;
};

struct CarveContext {
  int sectorSize = 512;
  SectorSource* source = nullptr;
  uint64_t fileStartSector = 0;  // absolute first sector of the candidate
  uint64_t cursorSector = 0;     // the sector a detector looks at

  // Measure rules read their chunks here (64 KiB, made on first use).
  uint8_t* ScanBuffer();
  // Detectors that read the disk use this one, because they also run while
  // a measure rule walks over the chunk held in the scan buffer. It holds
  // four sectors of the largest size and a few bytes more.
  uint8_t* ProbeBuffer();

  uint64_t sectorsDone = 0;
  uint64_t sectorsTotal = 0;
  int32_t secondsLeft = -1;
  uint64_t filesFound = 0;
  ScanProgressFn onScan = nullptr;
  void* userData = nullptr;
  int32_t percentScale = 100;
  int lastCallbackResult = 0;

  // Set by a size rule whose file gives no trustworthy length (a streamed
  // recording that never wrote its size): the file is kept, marked doubtful.
  bool sizeDoubtful = false;

  // Carving knows no file system: the scan that drives it installs the
  // test of the file systems it knows. Without one only signatures stop.
  MetadataSectorTest endsCarvedFile = nullptr;
  // What the driving scan holds in memory while it runs; null without.
  HeldSectors* held = nullptr;

  // The transport-stream detectors look at what the previous attempt
  // found, whatever it was.
  int tsFollowFlag = 0;
  int mtsFollowFlag = 0;
  void NoteAttemptFoundNothing() {
    tsFollowFlag = 1;
    mtsFollowFlag = 0;
  }
  std::vector<SectorRange> tsRanges;

  // A sector size the chunked reads can work with.
  bool SectorSizeUsable() const {
    return sectorSize > 0 && static_cast<uint32_t>(sectorSize) <= kScanBufferBytes;
  }
  uint32_t SectorBytes() const { return static_cast<uint32_t>(sectorSize); }
  // Sectors of the source from `sector` on (0 when it lies beyond the end).
  uint64_t SectorsLeftFrom(uint64_t sector) const;
  // Reads whole sectors at an absolute sector; false unless all arrived.
  bool ReadExact(uint64_t sector, uint32_t count, uint8_t* buffer) const;
  // The same sectors where the driving scan holds them, without a copy;
  // otherwise read into `buffer`. Null unless all arrived.
  const uint8_t* ReadView(uint64_t sector, uint32_t count, uint8_t* buffer) const;
  // Whether a sector ends a carved file as file-system metadata.
  bool EndsCarvedFile(const uint8_t* sector, uint32_t sectorBytes) const;
  // Reports a measure rule's progress (`done` sectors of the scan); false
  // when the answer ends the rule (-9527 also ends the scan).
  bool ReportProgress(uint64_t done);

 private:
  std::vector<uint8_t> scanBuffer_;
  std::vector<uint8_t> probeBuffer_;
};

}  // namespace salvora
