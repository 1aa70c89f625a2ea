#include "preview/PngOutput.h"

#include <QImageWriter>

namespace salvora::preview {

HelperResult SavePng(const QImage& image, const std::string& png) {
  QImageWriter writer(QString::fromStdString(png), "png");
  // Qt maps quality 100..0 to zlib levels 0..9; 90 gives level 1.
  writer.setQuality(90);
  if (!writer.write(image)) return HelperResult::Failure("cannot write " + png + ": " + writer.errorString().toStdString());
  return HelperResult::Success();
}

}  // namespace salvora::preview
