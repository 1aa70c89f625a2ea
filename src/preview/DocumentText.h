#pragma once
// The `text` command: the text of an office document. The file name's
// extension says which kind of document is expected; the first bytes say
// how it is stored (zip package, legacy binary Office, RTF, delimited text).
#include <string>

#include "preview/HelperResult.h"

namespace salvora::preview {

HelperResult ExtractDocumentText(const std::string& path);

}  // namespace salvora::preview
