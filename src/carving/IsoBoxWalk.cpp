// The length of an MP4, MOV, M4A, 3GP, HEIF or AVIF file from its
// top-level boxes: each states its size (a 64-bit one when the 32-bit field
// is 1), and the file ends after the last box of a kind files hold at top
// level, whatever order `moov` (or an image file's `meta`) and `mdat` come
// in. A box that runs "to the end of the file" (size 0) leaves the length
// to the format's rule.
#include <cstring>

#include "carving/ByteOrder.h"
#include "carving/StructureWalks.h"

namespace salvora {

bool IsTopLevelBox(const uint8_t* type) {
  static const char* const kTypes[] = {"moov", "mdat", "free", "skip", "wide", "uuid",
                                       "meta", "pdin", "moof", "mfra", "styp", "sidx",
                                       "ssix", "prft", "emsg", "pnot", "junk"};
  for (const char* known : kTypes)
    if (std::memcmp(type, known, 4) == 0) return true;
  return false;
}

namespace {

constexpr uint32_t kBoxHeader = 8;
constexpr uint32_t kLargeBoxHeader = 16;

// Walks the boxes; valid only when a box of type `required` is among them.
bool WalkTopLevelBoxes(FileWindow& window, const char (&required)[5], uint64_t& size) {
  uint64_t at = 0;
  bool movie = false;
  for (bool first = true;; first = false) {
    const uint8_t* box = window.At(at, kBoxHeader);
    // The next file may start right here with a type box of its own.
    if (!box || (first ? !HasText(box + 4, "ftyp") : !IsTopLevelBox(box + 4))) break;
    movie = movie || HasText(box + 4, required);
    uint64_t length = Be32(box);
    if (length == 1) {
      const uint8_t* large = window.At(at, kLargeBoxHeader);
      if (!large) return false;
      length = (uint64_t{Be32(large + 8)} << 32) | Be32(large + 12);
      if (length < kLargeBoxHeader) return false;
    } else if (length < kBoxHeader) {
      return false;  // to the end of the file (0), or broken
    }
    if (length > window.Limit() - at) return false;
    at += length;
  }
  if (!movie) return false;
  size = at;
  return true;
}

}  // namespace

bool WalkIsoBoxes(FileWindow& window, uint64_t& size) {
  return WalkTopLevelBoxes(window, "moov", size);
}

// Still images keep their items in `meta` and have no movie box.
bool WalkIsoImage(FileWindow& window, uint64_t& size) {
  return WalkTopLevelBoxes(window, "meta", size);
}

}  // namespace salvora
