#pragma once
// The `picture` command: any picture Qt's image readers know (with the
// extra format plugins: TIFF, WebP, ...) written out as PNG. The first frame
// of an animation is shown; pictures larger than kMaxPreviewSide are scaled
// down while decoding, and readers refuse to allocate more than
// kPictureAllocationMiB however large a header claims the picture to be.
#include <string>

#include "preview/HelperResult.h"

namespace salvora::preview {

constexpr int kMaxPreviewSide = 1600;
constexpr int kPictureAllocationMiB = 256;

HelperResult ConvertPictureToPng(const std::string& picture, const std::string& png);

}  // namespace salvora::preview
