#pragma once
// Text of an OOXML (docx, xlsx, pptx) or OpenDocument (odt, ods, odp)
// package. What the package holds decides how it is read; `expected` (from
// the file name) only breaks a tie.
#include "preview/DocumentKind.h"
#include "preview/HelperResult.h"
#include "preview/ZipPackage.h"

namespace salvora::preview {

HelperResult PackageText(const ZipPackage& package, DocumentKind expected);

}  // namespace salvora::preview
