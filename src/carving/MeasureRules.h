#pragma once
// Size rules of carved files: given the recognised first sector, the file's
// length in bytes. Header rules read a size field; scan rules read on until
// another file starts or a cap is reached; marker rules also look for the
// format's end marker on the way.
#include <cstdint>

#include "carving/CarveContext.h"
#include "carving/ForwardScan.h"

namespace salvora {

constexpr uint64_t k8MiB = 0x800000;
constexpr uint64_t k128MiB = 0x8000000;
constexpr uint64_t k256MiB = 0x10000000;
constexpr uint64_t k512MiB = 0x20000000;
constexpr uint64_t k1GiB = 0x40000000;
constexpr uint64_t k2GiB = 0x80000000;
constexpr uint64_t k4GiB = 0x100000000;
constexpr uint64_t k6GiB = 0x180000000;
constexpr uint64_t k64GiB = 0x1000000000;
// Office documents (compound files and OOXML packages).
constexpr uint64_t kOfficeCap = 0x7FFFFFF;

// Scans without end marker, each with its format's cap.
template <uint64_t kCapBytes>
uint64_t MeasureScan(CarveContext& context, const uint8_t*, uint32_t) {
  return PlainForwardScan(context, kCapBytes);
}

// Pictures.
uint64_t MeasureJpeg(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureGif(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasurePng(CarveContext&, const uint8_t*, uint32_t);

// Audio and video.
uint64_t MeasureMpeg(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureMp4(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureRealMedia(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureMp3(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureApe(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureMidi(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureTransportStream(CarveContext&, const uint8_t*, uint32_t);

// Documents and archives.
uint64_t MeasurePdf(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureZip(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureOoxml(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureRar(CarveContext&, const uint8_t*, uint32_t);
uint64_t Measure7z(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureCompoundFile(CarveContext&, const uint8_t*, uint32_t);

// Header rules.
uint64_t MeasureRiff(CarveContext&, const uint8_t*, uint32_t);
// The RIFF header's size, or a scan when a streamed recording left it unset.
uint64_t MeasureWave(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureBitmap(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureFlash(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureAsf(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureCabinet(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureFont(CarveContext&, const uint8_t*, uint32_t);
uint64_t MeasureIcon(CarveContext&, const uint8_t*, uint32_t);

}  // namespace salvora
