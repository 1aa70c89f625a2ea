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
    if (event->type() == QEvent::Resize) Place();
    return false;
  }

 private:
  void Place() {
    QRect box = view_->contentsRect();
    int scrollBar = view_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view_);
    QSize room(std::max(64, box.width() - scrollBar - 24), std::max(64, box.height() - 24));
    QImage shown = picture_;
    if (page_ && shown.width() > room.width())
      shown = shown.scaledToWidth(room.width(), Qt::SmoothTransformation);
    else if (!page_ && (shown.width() > room.width() || shown.height() > room.height()))
      shown = shown.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // A very narrow picture scales to no pixel at all on one side.
    if (shown.width() == 0 || shown.height() == 0)
      shown = picture_.scaled(QSize(std::max(1, shown.width()), std::max(1, shown.height())),
                              Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (shown.size() == placed_) return;
    placed_ = shown.size();
    QUrl name("preview://picture");
    view_->document()->clear();
    view_->document()->addResource(QTextDocument::ImageResource, name, shown);
    QTextImageFormat format;
    format.setName(name.toString());
    format.setWidth(shown.width());
    format.setHeight(shown.height());
    QTextCursor(view_->document()).insertImage(format);
  }

  QTextBrowser* view_;
  QImage picture_;
  bool page_;
  QSize placed_;
};

void ForgetPicture(QTextBrowser* view) {
  for (QObject* fit : view->findChildren<QObject*>(kPictureFitName, Qt::FindDirectChildrenOnly))
    delete fit;
}

}  // namespace

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
