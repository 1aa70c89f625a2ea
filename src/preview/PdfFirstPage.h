#pragma once
// The `pdf` command: page 1 of a PDF rendered by poppler, scaled so that its
// longer side has kPdfPageSide pixels whatever size the file claims.
#include <QIODevice>
#include <string>

#include "preview/HelperResult.h"

namespace salvora::preview {

constexpr int kPdfPageSide = 1200;

HelperResult RenderPdfFirstPage(const std::string& pdf, QIODevice& png);

}  // namespace salvora::preview
