#include "carving/ByteOrder.h"
#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"

namespace salvora {
namespace {

const uint8_t kCompoundMagic[] = {0xD0, 0xCF, 0x11, 0xE0};
const uint8_t kGzip[] = {0x1F, 0x8B, 0x08};
const uint8_t k7z[] = {0x37, 0x7A, 0xBC, 0xAF, 0x27};
const uint8_t kZipLocal[] = {'P', 'K', 0x03, 0x04};
const uint8_t kRar[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
const uint8_t kPeSignature[] = {'P', 'E', 0x00, 0x00};
const uint8_t kTrueType[] = {0x00, 0x01, 0x00, 0x00};
const uint8_t kXz[] = {0xFD, '7', 'z', 'X', 'Z', 0x00};
const uint8_t kBzip2Block[] = {0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
const uint8_t kBzip2End[] = {0x17, 0x72, 0x45, 0x38, 0x50, 0x90};
const uint8_t kSqlite[] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                           'o', 'r', 'm', 'a', 't', ' ', '3', 0x00};

constexpr uint32_t kPeSignatureLimit = 488;

}  // namespace

int DetectCompoundMagic(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 16 && HasBytes(bytes, kCompoundMagic) ? kTypeFlashAuthoring : kTypeNone;
}

int DetectPdf(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 5 && HasText(bytes, "%PDF-") ? kTypePdf : kTypeNone;
}

int DetectGzip(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16 || !HasBytes(bytes, kGzip)) return kTypeNone;
  bool flagsOk = bytes[3] == 0x00 || bytes[3] == 0x08;
  // gzip's default level marks neither the best nor the fastest compression.
  bool extraOk = bytes[8] == 0 || bytes[8] == 2 || bytes[8] == 4;
  bool systemOk = bytes[9] < 14 || bytes[9] == 0xFF;
  return flagsOk && extraOk && systemOk ? kTypeGzip : kTypeNone;
}

int Detect7z(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= sizeof(k7z) && HasBytes(bytes, k7z) ? kType7z : kTypeNone;
}

int DetectZip(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 48 && HasBytes(bytes, kZipLocal) ? kTypeZip : kTypeNone;
}

int DetectRar(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 7 && HasBytes(bytes, kRar) ? kTypeRar : kTypeNone;
}

int DetectCabinet(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 36 && HasText(bytes, "MSCF") ? kTypeCabinet : kTypeNone;
}

// Drivers, then DLLs, then plain executables, by the image characteristics.
int DetectPeImage(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 512 || !HasText(bytes, "MZ")) return kTypeNone;
  uint32_t header = Le32(bytes + 60);
  if (header > kPeSignatureLimit || !HasBytes(bytes + header, kPeSignature)) return kTypeNone;
  uint16_t characteristics = Le16(bytes + header + 22);
  if ((characteristics & 0x0002) == 0) return kTypeNone;
  if (characteristics & 0x1000) return kTypeDriver;
  if (characteristics & 0x2000) return kTypeDll;
  return kTypeExecutable;
}

int DetectDiskImage(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 4 && Le32(bytes) == 0x0000EFFEu ? kTypeDiskImage : kTypeNone;
}

int DetectSqlite(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 16 && HasBytes(bytes, kSqlite) ? kTypeSqlite : kTypeNone;
}

int DetectMailDatabase(CarveContext&, const uint8_t* bytes, uint32_t count) {
  return bytes && count >= 16 && Le32(bytes) == 0xFE12ADCFu ? kTypeMailDb : kTypeNone;
}

int DetectPersonalFolders(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16) return kTypeNone;
  return HasText(bytes, "!BDN") && HasText(bytes + 8, "SM") ? kTypePst : kTypeNone;
}

// The table directory must fit the sector and the first table must start
// with a version word, as head, hhea and maxp do.
int DetectTrueType(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 16 || !HasBytes(bytes, kTrueType)) return kTypeNone;
  uint32_t tables = Be16(bytes + 4);
  if (tables == 0 || Le16(bytes + 6) == 0 || Le16(bytes + 8) == 0 || Le16(bytes + 10) == 0)
    return kTypeNone;
  uint64_t directoryEnd = 12 + 16ull * tables;
  if (16ull * tables + 16 > count) return kTypeNone;
  return HasBytes(bytes + directoryEnd, kTrueType) ? kTypeTrueType : kTypeNone;
}

// The stream header: magic, a zero flag byte and a known check type.
int DetectXz(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 12 || !HasBytes(bytes, kXz) || bytes[6] != 0) return kTypeNone;
  uint8_t check = bytes[7];
  return check == 0x00 || check == 0x01 || check == 0x04 || check == 0x0A ? kTypeXz : kTypeNone;
}

// "BZh", the block size digit, and the first block's or the end's magic.
int DetectBzip2(CarveContext&, const uint8_t* bytes, uint32_t count) {
  if (!bytes || count < 10 || !HasText(bytes, "BZh") || bytes[3] < '1' || bytes[3] > '9')
    return kTypeNone;
  return HasBytes(bytes + 4, kBzip2Block) || HasBytes(bytes + 4, kBzip2End) ? kTypeBzip2
                                                                            : kTypeNone;
}

// RAR 5 changed the signature's seventh byte from 0 to 1.
int DetectRar5(CarveContext&, const uint8_t* bytes, uint32_t count) {
  static const uint8_t kRar5[] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
  return bytes && count >= 16 && HasBytes(bytes, kRar5) ? kTypeRar5 : kTypeNone;
}

}  // namespace salvora
