#pragma once
// Text of a legacy PowerPoint presentation (.ppt, .pps): the text atoms of
// the "PowerPoint Document" stream, read record by record, for the first
// kSlideCount slides. Master slides, notes and handouts are left out.
#include <string>
#include <string_view>

#include "preview/HelperResult.h"
#include "preview/TextCollector.h"

namespace salvora::preview {

// Appends the text of a "PowerPoint Document" stream.
void AppendSlideText(std::string_view stream, TextCollector& out);

// The text of a compound file holding a presentation.
HelperResult PresentationText(std::string_view file);

}  // namespace salvora::preview
