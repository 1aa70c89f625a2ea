#pragma once
// The text view of a found file's first bytes: what the preview shows when
// nothing better can be made of the file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace salvora {

// How many leading bytes of a file the text view shows.
constexpr size_t kTextViewBytes = 8192;
// Characters per line before a line break is forced.
constexpr size_t kTextViewLineLength = 1024;

// Each byte becomes one character (its Latin-1 code point, as UTF-8), a zero
// byte becomes a full stop; a CR LF follows every 1024 characters and ends
// the text (one line break, not two, when the text ends on a full line).
std::string FormatTextView(std::span<const uint8_t> bytes);

// The text view of the first kTextViewBytes bytes of a file; an unreadable
// file gives the text view of nothing (a single line break).
std::string TextViewOfFile(const std::filesystem::path& path);

}  // namespace salvora
