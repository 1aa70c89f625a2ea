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

// Resolutions outside this range come only from absurd page sizes.
constexpr double kMinDpi = 1.0;
constexpr double kMaxDpi = 600.0;

}  // namespace

HelperResult RenderPdfFirstPage(const std::string& pdf, const std::string& png) {
  Poppler::setDebugErrorFunction(IgnorePopplerMessage, QVariant());
  std::unique_ptr<Poppler::Document> document = Poppler::Document::load(QString::fromStdString(pdf));
  if (!document) return HelperResult::Failure("not a readable PDF");
  if (document->isLocked()) return HelperResult::Failure("the PDF is protected by a password");
  if (document->numPages() < 1) return HelperResult::Failure("the PDF has no pages");
  std::unique_ptr<Poppler::Page> page(document->page(0));
  if (!page) return HelperResult::Failure("page 1 cannot be read");
  QSizeF points = page->pageSizeF();
  double longer = std::max(points.width(), points.height());
  if (!std::isfinite(longer) || longer <= 0) return HelperResult::Failure("page 1 has no size");
  double dpi = std::clamp(72.0 * kPdfPageSide / longer, kMinDpi, kMaxDpi);
  document->setRenderHint(Poppler::Document::Antialiasing);
  document->setRenderHint(Poppler::Document::TextAntialiasing);
  QImage image = page->renderToImage(dpi, dpi);
  if (image.isNull()) return HelperResult::Failure("page 1 cannot be rendered");
  return SavePng(image, png);
}

}  // namespace salvora::preview
