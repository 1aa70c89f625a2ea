#pragma once
// Shows a prepared preview in a rich-text box: a picture scaled to the
// box, or a text. A picture too small to be one (at most 2 x 2) is taken
// for a failed one.
#include <QString>

#include "app/PreviewProcessWnd.h"

class QTextBrowser;

namespace salvora {

// Shows `result`; `pictureFailure` is the text shown for a picture that
// could not be made. Returns false when nothing could be shown.
bool ShowPreview(QTextBrowser* view, const PreviewResult& result, const QString& pictureFailure);

// Empties the box, picture and all.
void ClearPreview(QTextBrowser* view);

// The text as the box shows it: followed by a line break.
void ShowPreviewText(QTextBrowser* view, const QString& text);

}  // namespace salvora
