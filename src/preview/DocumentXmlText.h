#pragma once
// Running text of word-processing and presentation parts: the paragraphs of
// an OOXML part (document.xml, a slide) or of an OpenDocument content.xml,
// one line per paragraph.
#include "preview/ChunkSource.h"
#include "preview/TextCollector.h"

namespace salvora::preview {

// OOXML: the text of w:t / a:t runs; tabs and breaks as characters.
void AppendOoxmlText(ChunkSource& part, TextCollector& out);

// OpenDocument: the text of text:p and text:h paragraphs. With maxPages > 0
// only the first maxPages draw:page elements (slides) count; speaker notes
// and annotations are left out.
void AppendOdfText(ChunkSource& content, TextCollector& out, int maxPages = 0);

}  // namespace salvora::preview
