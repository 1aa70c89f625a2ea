#include "preview/PictureToPng.h"

#include <QImageReader>

#include "preview/PngOutput.h"

namespace salvora::preview {

HelperResult ConvertPictureToPng(const std::string& picture, const std::string& png) {
  QImageReader::setAllocationLimit(kPictureAllocationMiB);
  QImageReader reader(QString::fromStdString(picture));
  reader.setAutoTransform(true);
  QSize size = reader.size();
  if (size.isValid() && (size.width() > kMaxPreviewSide || size.height() > kMaxPreviewSide))
    reader.setScaledSize(size.scaled(kMaxPreviewSide, kMaxPreviewSide, Qt::KeepAspectRatio));
  QImage image;
  if (!reader.read(&image)) return HelperResult::Failure("cannot read the picture: " + reader.errorString().toStdString());
  return SavePng(image, png);
}

}  // namespace salvora::preview
