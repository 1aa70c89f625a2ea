#pragma once
// Detectors: does a file of some format start in this sector? Each answers a
// FileTypeCode, kTypeNone when not. They never read outside the bytes they
// are given; the few that need more of the file read it through the context
// relative to its cursor sector.
#include <cstdint>

#include "carving/CarveContext.h"

namespace salvora {

using DetectFn = int (*)(CarveContext& context, const uint8_t* bytes, uint32_t count);

// Audio and video.
int DetectMpegStream(CarveContext&, const uint8_t*, uint32_t);
int DetectMp4(CarveContext&, const uint8_t*, uint32_t);
int DetectRealMedia(CarveContext&, const uint8_t*, uint32_t);
int DetectAsf(CarveContext&, const uint8_t*, uint32_t);
int DetectFlash(CarveContext&, const uint8_t*, uint32_t);
int DetectAvi(CarveContext&, const uint8_t*, uint32_t);
int DetectFlv(CarveContext&, const uint8_t*, uint32_t);
int Detect3gpp(CarveContext&, const uint8_t*, uint32_t);
int DetectMatroska(CarveContext&, const uint8_t*, uint32_t);
int DetectTransportStream(CarveContext&, const uint8_t*, uint32_t);
int DetectM2ts(CarveContext&, const uint8_t*, uint32_t);
int DetectMxf(CarveContext&, const uint8_t*, uint32_t);
int DetectId3(CarveContext&, const uint8_t*, uint32_t);
int DetectMidi(CarveContext&, const uint8_t*, uint32_t);
int DetectApe(CarveContext&, const uint8_t*, uint32_t);
int DetectWave(CarveContext&, const uint8_t*, uint32_t);
int DetectQuickTime(CarveContext&, const uint8_t*, uint32_t);
int DetectMpegAudio(CarveContext&, const uint8_t*, uint32_t);
int DetectMmf(CarveContext&, const uint8_t*, uint32_t);
int DetectOgg(CarveContext&, const uint8_t*, uint32_t);
int DetectM4a(CarveContext&, const uint8_t*, uint32_t);
// Brands of the ISO box family the rows above leave out: HEIF and AVIF
// pictures, CR3 raw pictures, M4V, 3GPP2 and every other MP4 brand.
int DetectIsoBrand(CarveContext&, const uint8_t*, uint32_t);
int DetectFlac(CarveContext&, const uint8_t*, uint32_t);
// An MP3 without a tag: several whole frames of one stream in a row,
// read from the disk after the sector when they do not fit in it.
int DetectMp3Frames(CarveContext&, const uint8_t*, uint32_t);

// Pictures.
int DetectGif(CarveContext&, const uint8_t*, uint32_t);
int DetectBitmap(CarveContext&, const uint8_t*, uint32_t);
int DetectJpeg(CarveContext&, const uint8_t*, uint32_t);
// JPEGs that open with another marker than a JFIF or Exif block.
int DetectJpegOther(CarveContext&, const uint8_t*, uint32_t);
int DetectPng(CarveContext&, const uint8_t*, uint32_t);
int DetectPhotoshop(CarveContext&, const uint8_t*, uint32_t);
// TIFF, or one of the camera raw formats built on it (CR2, NEF, ARW, DNG).
int DetectTiff(CarveContext&, const uint8_t*, uint32_t);
int DetectOrf(CarveContext&, const uint8_t*, uint32_t);
int DetectWebp(CarveContext&, const uint8_t*, uint32_t);
int DetectIcon(CarveContext&, const uint8_t*, uint32_t);

// Documents and archives.
int DetectCompoundMagic(CarveContext&, const uint8_t*, uint32_t);
int DetectCompoundDocument(CarveContext&, const uint8_t*, uint32_t);
int DetectOoxml(CarveContext&, const uint8_t*, uint32_t);
int DetectPdf(CarveContext&, const uint8_t*, uint32_t);
int DetectGzip(CarveContext&, const uint8_t*, uint32_t);
int Detect7z(CarveContext&, const uint8_t*, uint32_t);
int DetectZip(CarveContext&, const uint8_t*, uint32_t);
int DetectRar(CarveContext&, const uint8_t*, uint32_t);
int DetectCabinet(CarveContext&, const uint8_t*, uint32_t);
int DetectXz(CarveContext&, const uint8_t*, uint32_t);
int DetectBzip2(CarveContext&, const uint8_t*, uint32_t);
int DetectRar5(CarveContext&, const uint8_t*, uint32_t);

// Programs, databases and the rest.
int DetectPeImage(CarveContext&, const uint8_t*, uint32_t);
int DetectDiskImage(CarveContext&, const uint8_t*, uint32_t);
int DetectSqlite(CarveContext&, const uint8_t*, uint32_t);
int DetectMailDatabase(CarveContext&, const uint8_t*, uint32_t);
int DetectPersonalFolders(CarveContext&, const uint8_t*, uint32_t);
int DetectTrueType(CarveContext&, const uint8_t*, uint32_t);

}  // namespace salvora
