#pragma once
// SVG is a document, not only a picture: it may name other files (an
// <image> pointing at any local path) and it needs fonts for its text.
// Only self-contained SVG is drawn.
#include <QByteArray>
#include <QIODevice>
#include <string>

#include "preview/HelperResult.h"

namespace salvora::preview {

// The SVG's text, unpacked when gzip-compressed (svgz); a failure when it
// is too large or refers to anything outside itself.
HelperResult ReadSelfContainedSvg(const std::string& path, QByteArray* svg);

// Empty when the SVG reads as XML within the helper's bounds and every
// reference in it stays inside it (#fragment or a data: URL); else why not.
std::string SvgProblem(const QByteArray& svg);

// Draws the SVG as a PNG no larger than the preview's side.
HelperResult RenderSvg(QByteArray svg, QIODevice& png);

}  // namespace salvora::preview
