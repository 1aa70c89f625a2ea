#include "app/PreviewDisplay.h"

#include <QImage>
#include <QImageReader>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

namespace salvora {
namespace {

constexpr int kSmallestPicture = 2;

// The PNG comes from our own helper, already shrunk to a sane size; the
// reader's limit still guards against a picture that is not.
QImage LoadPicture(const std::string& path) {
  QImageReader reader(QString::fromStdString(path), "png");
  reader.setAllocationLimit(256);
  return reader.read();
}

}  // namespace

void ShowPreviewText(QTextBrowser* view, const QString& text) {
  view->setPlainText(text + "\n");
}

bool ShowPreview(QTextBrowser* view, const PreviewResult& result, const QString& pictureFailure) {
  view->clear();
  switch (result.kind) {
    case PreviewResult::Kind::kText:
      ShowPreviewText(view, QString::fromStdString(result.text));
      return true;
    case PreviewResult::Kind::kPicture: {
      QImage picture = LoadPicture(result.file);
      if (picture.width() <= kSmallestPicture || picture.height() <= kSmallestPicture) {
        ShowPreviewText(view, pictureFailure);
        return false;
      }
      int room = std::max(64, view->viewport()->width() - 24);
      if (picture.width() > room) picture = picture.scaledToWidth(room, Qt::SmoothTransformation);
      QUrl name("preview://picture");
      view->document()->addResource(QTextDocument::ImageResource, name, picture);
      QTextImageFormat format;
      format.setName(name.toString());
      format.setWidth(picture.width());
      format.setHeight(picture.height());
      view->textCursor().insertImage(format);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace salvora
