#pragma once
// Text of legacy binary Office files (doc, xls, ppt) and RTF through
// Debian's catdoc, xls2csv and catppt, when they are installed. They run as
// children of the helper under its own limits.
#include <string>

#include "preview/DocumentKind.h"
#include "preview/HelperResult.h"

namespace salvora::preview {

HelperResult LegacyOfficeText(const std::string& path, DocumentKind kind);

}  // namespace salvora::preview
