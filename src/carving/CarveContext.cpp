#include "carving/CarveContext.h"

#include <cstring>

#include "platform/ErrorCodes.h"

namespace salvora {

uint8_t* CarveContext::ScanBuffer() {
  if (scanBuffer_.empty()) scanBuffer_.resize(kScanBufferBytes);
  return scanBuffer_.data();
}

uint8_t* CarveContext::ProbeBuffer() {
  if (probeBuffer_.empty()) probeBuffer_.resize(kProbeBufferBytes);
  return probeBuffer_.data();
}

uint64_t CarveContext::SectorsLeftFrom(uint64_t sector) const {
  if (!source || !source->File() || sectorSize <= 0) return 0;
  // The source may count in other units than this context's sectors.
  uint64_t total = source->File()->Size() / SectorBytes();
  return sector < total ? total - sector : 0;
}

bool CarveContext::ReadExact(uint64_t sector, uint32_t count, uint8_t* buffer) const {
  const uint8_t* bytes = ReadView(sector, count, buffer);
  if (bytes && bytes != buffer)
    std::memcpy(buffer, bytes, static_cast<size_t>(count) * SectorBytes());
  return bytes != nullptr;
}

const uint8_t* CarveContext::ReadView(uint64_t sector, uint32_t count, uint8_t* buffer) const {
  if (!source || count == 0 || count > static_cast<uint32_t>(INT32_MAX)) return nullptr;
  if (held && SectorSizeUsable()) {
    if (const uint8_t* bytes = held->Find(sector, count, buffer)) return bytes;
  }
  uint32_t read = 0;
  int result = source->ReadSectors(static_cast<int32_t>(count), buffer, sector, sectorSize, read);
  return result == kOk && read == count ? buffer : nullptr;
}

bool CarveContext::EndsCarvedFile(const uint8_t* sector, uint32_t sectorBytes) const {
  if (!endsCarvedFile) return false;
  int known = held ? held->HeldMetadata(sector, sectorBytes) : -1;
  return known >= 0 ? known == 1 : endsCarvedFile(sector, sectorBytes);
}

bool CarveContext::ReportProgress(uint64_t done) {
  if (!onScan) return true;
  int32_t percent = 10 + static_cast<int32_t>(sectorsTotal ? done * 100 / sectorsTotal : 0);
  lastCallbackResult =
      onScan(userData, percent, percentScale, secondsLeft, done, sectorsTotal, filesFound, 0);
  return lastCallbackResult == 0;
}

}  // namespace salvora
