// Files of the ISO box family that the older rows leave out, told apart by
// the brands of their type box: still images (HEIF, AVIF), Canon's CR3
// raw pictures, iTunes video, and every other brand of MP4 that writers
// use (mp41, avc1, dash, f4v and the like).
#include <cstring>
#include <initializer_list>

#include "carving/ByteOrder.h"
#include "carving/Detectors.h"
#include "carving/FileTypeCode.h"

namespace salvora {
namespace {

constexpr uint32_t kMinTypeBox = 16;  // size, type, major brand, minor version
constexpr uint32_t kBrandBytes = 4;

bool PrintableBrand(const uint8_t* brand) {
  for (uint32_t i = 0; i < kBrandBytes; ++i)
    if (brand[i] < 0x20 || brand[i] > 0x7E) return false;
  return true;
}

bool IsOneOf(const uint8_t* brand, std::initializer_list<const char*> brands) {
  for (const char* known : brands)
    if (std::memcmp(brand, known, kBrandBytes) == 0) return true;
  return false;
}

// A type box lies whole in the sector and names brands made of printable
// characters; bytes that merely carry "ftyp" at 4 rarely do.
bool WellFormedTypeBox(const uint8_t* bytes, uint32_t count, uint32_t& boxBytes) {
  boxBytes = Be32(bytes);
  if (boxBytes < kMinTypeBox || boxBytes > count || boxBytes % kBrandBytes != 0) return false;
  for (uint32_t at = 8; at < boxBytes; at += kBrandBytes)
    if (at != 12 && !PrintableBrand(bytes + at)) return false;
  return true;
}

bool AnyCompatible(const uint8_t* bytes, uint32_t boxBytes,
                   std::initializer_list<const char*> brands) {
  for (uint32_t at = kMinTypeBox; at < boxBytes; at += kBrandBytes)
    if (IsOneOf(bytes + at, brands)) return true;
  return false;
}

}  // namespace

int DetectIsoBrand(CarveContext&, const uint8_t* bytes, uint32_t count) {
  uint32_t boxBytes = 0;
  if (!bytes || count < 32 || !HasText(bytes + 4, "ftyp") ||
      !WellFormedTypeBox(bytes, count, boxBytes))
    return kTypeNone;
  const uint8_t* major = bytes + 8;
  // The generic image brands say only "HEIF"; the compatible brands say
  // which coding the pictures use.
  bool genericImage = IsOneOf(major, {"mif1", "msf1", "miaf"});
  if (IsOneOf(major, {"avif", "avis"}) ||
      (genericImage && AnyCompatible(bytes, boxBytes, {"avif", "avis"})))
    return kTypeAvif;
  if (genericImage || IsOneOf(major, {"heic", "heix", "heim", "heis", "hevc", "hevx", "heif"}))
    return kTypeHeic;
  if (IsOneOf(major, {"crx "})) return kTypeCr3;
  if (IsOneOf(major, {"M4V ", "M4VH", "M4VP"})) return kTypeM4v;
  if (HasText(major, "3g")) return kType3gpp;
  return kTypeMp4;
}

}  // namespace salvora
