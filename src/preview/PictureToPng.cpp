#include "preview/PictureToPng.h"

#include <QImageReader>

#include "preview/PngOutput.h"
#include "preview/SvgDocument.h"
#include "previewclient/PreviewLimits.h"

namespace salvora::preview {

HelperResult ConvertPictureToPng(const std::string& picture, QIODevice& png) {
  QImageReader::setAllocationLimit(kPictureAllocationMiB);
  QImageReader reader(QString::fromStdString(picture));
  QByteArray format = reader.format();
  if (format == "svg" || format == "svgz") {
    QByteArray svg;
    HelperResult read = ReadSelfContainedSvg(picture, &svg);
    return read.ok ? RenderSvg(std::move(svg), png) : read;
  }
  reader.setAutoTransform(true);
  QSize size = reader.size();
  if (size.isValid() && !size.isEmpty() && FitWithin(size, kPreviewPictureSide) != size)
    reader.setScaledSize(FitWithin(size, kPreviewPictureSide));
  QImage image;
  if (!reader.read(&image))
    return HelperResult::Failure("cannot read the picture: " + reader.errorString().toStdString());
  return SavePng(image, png);
}

}  // namespace salvora::preview
