#pragma once
// What the preview helper promises about its output, and what the program
// that runs it accepts: the helper keeps inside these bounds and the caller
// refuses anything beyond them rather than decode it in its own process.
#include <cstddef>
#include <cstdint>

namespace salvora {

// The longer side of a picture or rendered page, in pixels.
constexpr int kPreviewPictureSide = 1600;
// The PNG file of a preview picture: its side, four bytes a pixel, with room
// for the container's overhead on pictures that do not compress.
constexpr uint64_t kPreviewPictureFileBytes =
    uint64_t{kPreviewPictureSide} * kPreviewPictureSide * 4 + (uint64_t{1} << 20);
// Text the helper writes (listings, document text).
constexpr size_t kPreviewTextBytes = size_t{8} << 20;

}  // namespace salvora
