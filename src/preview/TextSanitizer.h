#pragma once
// Names and texts from found files go to a text display; invalid UTF-8 and
// control characters must not reach it.
#include <cstddef>
#include <string>
#include <string_view>

namespace salvora::preview {

enum class LineBreaks { kKeep, kReplace };

// Valid UTF-8 of at most `maxBytes` bytes: invalid sequences, control
// characters other than tab and line feed (C1 included), bidirectional
// controls and the Unicode line separators become '?'; so does the line feed
// with LineBreaks::kReplace (names that must stay on one line).
std::string SanitizeText(std::string_view raw, size_t maxBytes,
                         LineBreaks lineBreaks = LineBreaks::kKeep);

}  // namespace salvora::preview
