#pragma once
// Writing the picture a preview command made.
#include <QImage>
#include <string>

#include "preview/HelperResult.h"

namespace salvora::preview {

// Saves `image` as a PNG (fast compression: the file is a temporary).
HelperResult SavePng(const QImage& image, const std::string& png);

}  // namespace salvora::preview
