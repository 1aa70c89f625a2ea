#pragma once
// The `picture` command: any picture Qt's image readers know (with the
// extra format plugins: TIFF, WebP, SVG, ...) written out as PNG. The first
// frame of an animation is shown; pictures larger than kPreviewPictureSide
// are scaled down, and readers refuse to allocate more than
// kPictureAllocationMiB however large a header claims the picture to be.
#include <QIODevice>
#include <string>

#include "preview/HelperResult.h"

namespace salvora::preview {

constexpr int kPictureAllocationMiB = 256;

HelperResult ConvertPictureToPng(const std::string& picture, QIODevice& png);

}  // namespace salvora::preview
