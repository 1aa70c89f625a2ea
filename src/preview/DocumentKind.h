#pragma once
// The three kinds of office document the preview reads, and the amount of
// each it shows.
#include <QString>
#include <string>

namespace salvora::preview {

enum class DocumentKind { kWord, kSheet, kSlides, kUnknown };

// Word-like documents show at most this many characters.
constexpr qsizetype kWordTextChars = 2048;
// Presentations show the text of at most this many slides ...
constexpr int kSlideCount = 20;
// ... and at most this many characters of it.
constexpr qsizetype kSlideTextChars = 64 * 1024;

// By the file name's extension (case-insensitive).
DocumentKind KindOfFileName(const std::string& fileName);

}  // namespace salvora::preview
