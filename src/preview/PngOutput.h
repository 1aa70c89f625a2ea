#pragma once
// Writing the picture a preview command made.
#include <QIODevice>
#include <QImage>
#include <QSize>

#include "preview/HelperResult.h"

namespace salvora::preview {

// `size` scaled to fit a square of `side` pixels, keeping its shape; never
// below one pixel on either side, so that a very narrow picture stays a
// picture.
QSize FitWithin(QSize size, int side);

// Writes `image` as a PNG (fast compression: the file is a temporary). A
// picture larger than the preview's promised side is scaled down first:
// some formats tell their size only once decoded.
HelperResult SavePng(const QImage& image, QIODevice& png);

}  // namespace salvora::preview
