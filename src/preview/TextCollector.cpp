#include "preview/TextCollector.h"

namespace salvora::preview {

void TextCollector::Append(QStringView text) {
  qsizetype room = maxChars_ - text_.size();
  if (room <= 0) return;
  if (text.size() > room) {
    text = text.first(room);
    if (text.back().isHighSurrogate()) text.chop(1);
  }
  text_.append(text);
}

}  // namespace salvora::preview
