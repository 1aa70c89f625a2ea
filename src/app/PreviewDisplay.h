#pragma once
// Shows a prepared preview in a rich-text box: a picture scaled to the
// box, or a text. A picture too small to be one (at most 2 x 2) is taken
// for a failed one.
#include <QImage>
#include <QSize>
#include <QString>

#include "app/PreviewPreparation.h"

class QTextBrowser;

namespace salvora {

// Shows `result`; `pictureFailure` is the text shown for a picture that
// could not be made. Returns false when nothing could be shown.
bool ShowPreview(QTextBrowser* view, const PreviewResult& result, const QString& pictureFailure);

// `picture` as a box of `room` (in the window's units) shows it on a screen
// of `ratio` device pixels to one: a photo whole, a page across the width,
// never enlarged, and drawn with as many of the screen's pixels as the
// picture has, so that it is sharp on a dense screen. Its size in the
// window's units is its deviceIndependentSize().
QImage FitPicture(const QImage& picture, QSize room, qreal ratio, bool page);

// Empties the box, picture and all.
void ClearPreview(QTextBrowser* view);

// The text as the box shows it: followed by a line break.
void ShowPreviewText(QTextBrowser* view, const QString& text);

}  // namespace salvora
