#include "app/PreviewDisplay.h"

#include <QEvent>
#include <QImage>
#include <QImageReader>
#include <QStyle>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

namespace salvora {
namespace {

constexpr int kSmallestPicture = 2;
const char kPictureFitName[] = "pictureFit";

// The PNG comes from our own helper, already shrunk to a sane size; the
// reader's limit still guards against a picture that is not.
QImage LoadPicture(const std::string& path) {
  QImageReader reader(QString::fromStdString(path), "png");
  reader.setAllocationLimit(16);
  return reader.read();
}

// Keeps a shown picture fitted to its box as the box changes size: a
// window is often laid out only after its first preview arrives. A photo
// is shown whole, a document's page across the box's width, to be read.
// Never enlarges. The room leaves space for a scroll bar whether one shows
// or not, so a scroll bar coming or going never refits the picture.
class PictureFit : public QObject {
 public:
  PictureFit(QTextBrowser* view, QImage picture, bool page)
      : QObject(view), view_(view), picture_(std::move(picture)), page_(page) {
    setObjectName(kPictureFitName);
    view_->viewport()->installEventFilter(this);
    Place();
  }

  bool eventFilter(QObject*, QEvent* event) override {
    // A window moved to a screen of another density is drawn again too.
    if (event->type() == QEvent::Resize || event->type() == QEvent::ScreenChangeInternal) Place();
    return false;
  }

 private:
  void Place() {
    QRect box = view_->contentsRect();
    int scrollBar = view_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
    QSize room(std::max(64, box.width() - scrollBar - 24), std::max(64, box.height() - 24));
    QImage shown = FitPicture(picture_, room, view_->devicePixelRatioF(), page_);
    if (shown.size() == placed_ && shown.devicePixelRatio() == placedRatio_) return;
    placed_ = shown.size();
    placedRatio_ = shown.devicePixelRatio();
    QSize logical = shown.deviceIndependentSize().toSize().expandedTo(QSize(1, 1));
    QUrl name("preview://picture");
    view_->document()->clear();
    view_->document()->addResource(QTextDocument::ImageResource, name, shown);
    QTextImageFormat format;
    format.setName(name.toString());
    format.setWidth(logical.width());
    format.setHeight(logical.height());
    QTextCursor(view_->document()).insertImage(format);
  }

  QTextBrowser* view_;
  QImage picture_;
  bool page_;
  QSize placed_;
  qreal placedRatio_ = 0;
};

void ForgetPicture(QTextBrowser* view) {
  for (QObject* fit : view->findChildren<QObject*>(kPictureFitName, Qt::FindDirectChildrenOnly))
    delete fit;
}

}  // namespace

QImage FitPicture(const QImage& picture, QSize room, qreal ratio, bool page) {
  // The size on screen, in the window's units, a picture's pixel taken for
  // one of them: a page across the room's width, a photo whole.
  QSize fit = picture.size();
  if (page && fit.width() > room.width())
    fit = QSize(room.width(), static_cast<int>(int64_t{fit.height()} * room.width() / fit.width()));
  else if (!page && (fit.width() > room.width() || fit.height() > room.height()))
    fit.scale(room, Qt::KeepAspectRatio);
  // A very narrow picture scales to no pixel at all on one side.
  fit = fit.expandedTo(QSize(1, 1));
  // As many of the screen's pixels as the picture has to give.
  ratio = std::max<qreal>(1, ratio);
  QSize pixels = (QSizeF(fit) * ratio).toSize().boundedTo(picture.size()).expandedTo(QSize(1, 1));
  QImage shown = pixels == picture.size()
                     ? picture
                     : picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  shown.setDevicePixelRatio(static_cast<qreal>(pixels.width()) / fit.width());
  return shown;
}

void ClearPreview(QTextBrowser* view) {
  ForgetPicture(view);
  view->clear();
}

void ShowPreviewText(QTextBrowser* view, const QString& text) {
  ForgetPicture(view);
  view->setPlainText(text + "\n");
}

bool ShowPreview(QTextBrowser* view, const PreviewResult& result, const QString& pictureFailure) {
  ClearPreview(view);
  switch (result.kind) {
    case PreviewResult::Kind::kText:
      ShowPreviewText(view, QString::fromStdString(result.text));
      return true;
    case PreviewResult::Kind::kPicture: {
      QImage picture = LoadPicture(result.file);
      // A failed render is a 1 x 1 or 2 x 2 stand-in; a picture one pixel
      // wide and long is still a picture.
      if (picture.width() <= kSmallestPicture && picture.height() <= kSmallestPicture) {
        ShowPreviewText(view, pictureFailure);
        return false;
      }
      new PictureFit(view, std::move(picture), result.page);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace salvora
