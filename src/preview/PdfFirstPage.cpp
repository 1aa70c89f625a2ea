#include "preview/PdfFirstPage.h"

#include <poppler-qt6.h>

#include <cmath>
#include <memory>

#include "preview/PngOutput.h"

namespace salvora::preview {
namespace {

// Poppler reports every oddity of a damaged file on stderr, which is the
// helper's one-line failure channel; they are dropped.
void IgnorePopplerMessage(const QString&, const QVariant&) {}

// Resolutions above this come only from absurd page sizes.
constexpr double kMaxDpi = 600.0;
// Poppler gives a stand-in picture when it cannot allocate the page; a
// result that differs from the asked size by more than rounding is that.
constexpr int kRoundingPixels = 2;

bool Near(int rendered, double expected) {
  return std::abs(rendered - expected) <= kRoundingPixels;
}

}  // namespace

HelperResult RenderPdfFirstPage(const std::string& pdf, QIODevice& png) {
  Poppler::setDebugErrorFunction(IgnorePopplerMessage, QVariant());
  std::unique_ptr<Poppler::Document> document =
      Poppler::Document::load(QString::fromStdString(pdf));
  if (!document) return HelperResult::Failure("not a readable PDF");
  if (document->isLocked()) return HelperResult::Failure("the PDF is protected by a password");
  if (document->numPages() < 1) return HelperResult::Failure("the PDF has no pages");
  std::unique_ptr<Poppler::Page> page(document->page(0));
  if (!page) return HelperResult::Failure("page 1 cannot be read");
  QSizeF points = page->pageSizeF();
  double longer = std::max(points.width(), points.height());
  if (!std::isfinite(longer) || longer <= 0) return HelperResult::Failure("page 1 has no size");
  // However large the page, it is drawn at the size shown: a resolution
  // floor would ask for gigapixels.
  double dpi = std::min(72.0 * kPdfPageSide / longer, kMaxDpi);
  QSizeF expected = points * (dpi / 72.0);
  if (std::min(expected.width(), expected.height()) < 1.0)
    return HelperResult::Failure("page 1 is too narrow to show");
  document->setRenderHint(Poppler::Document::Antialiasing);
  document->setRenderHint(Poppler::Document::TextAntialiasing);
  QImage image = page->renderToImage(dpi, dpi);
  if (image.isNull() || !Near(image.width(), expected.width()) ||
      !Near(image.height(), expected.height()))
    return HelperResult::Failure("page 1 cannot be rendered");
  return SavePng(image, png);
}

}  // namespace salvora::preview
