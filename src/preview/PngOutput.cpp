#include "preview/PngOutput.h"

#include <QImageWriter>
#include <algorithm>

#include "previewclient/PreviewLimits.h"

namespace salvora::preview {

QSize FitWithin(QSize size, int side) {
  if (size.width() <= side && size.height() <= side) return size;
  QSize fitted = size.scaled(side, side, Qt::KeepAspectRatio);
  return {std::max(1, fitted.width()), std::max(1, fitted.height())};
}

HelperResult SavePng(const QImage& image, QIODevice& png) {
  if (image.isNull() || image.width() < 1 || image.height() < 1)
    return HelperResult::Failure("the picture is empty");
  QSize fitted = FitWithin(image.size(), kPreviewPictureSide);
  QImage shown = fitted == image.size()
                     ? image
                     : image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (shown.isNull()) return HelperResult::Failure("the picture cannot be scaled down");
  QImageWriter writer(&png, "png");
  // Qt maps quality 100..0 to zlib levels 0..9; 90 gives level 1.
  writer.setQuality(90);
  if (!writer.write(shown))
    return HelperResult::Failure("cannot write the picture: " + writer.errorString().toStdString());
  return HelperResult::Success();
}

}  // namespace salvora::preview
