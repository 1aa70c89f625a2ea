#include "preview/CsvCells.h"

#include <string>

namespace salvora::preview {
namespace {

char GuessDelimiter(std::string_view text) {
  size_t commas = 0, semicolons = 0, tabs = 0;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n') break;
    commas += c == ',';
    semicolons += c == ';';
    tabs += c == '\t';
  }
  if (semicolons > commas && semicolons >= tabs) return ';';
  if (tabs > commas) return '\t';
  return ',';
}

class CsvReader {
 public:
  explicit CsvReader(std::string_view text) : text_(text), delimiter_(GuessDelimiter(text)) {}

  CellGrid Read() {
    for (size_t i = 0; i < text_.size() && row_ < CellGrid::kRows; ++i) {
      char c = text_[i];
      if (quoted_) {
        if (c != '"') {
          AddChar(c);
        } else if (i + 1 < text_.size() && text_[i + 1] == '"') {
          AddChar('"');
          ++i;
        } else {
          quoted_ = false;
        }
      } else if (c == '"') {
        quoted_ = true;
      } else if (c == delimiter_) {
        EndField();
      } else if (c == '\n') {
        EndField();
        ++row_;
        column_ = 0;
      } else if (c != '\r') {
        AddChar(c);
      }
    }
    if (!field_.empty()) EndField();
    return std::move(grid_);
  }

 private:
  void AddChar(char c) {
    if (field_.size() < static_cast<size_t>(CellGrid::kMaxCellChars) * 4) field_.push_back(c);
  }
  void EndField() {
    grid_.Set(row_, column_++, QString::fromUtf8(field_.data(), static_cast<qsizetype>(field_.size())));
    field_.clear();
  }

  std::string_view text_;
  char delimiter_;
  CellGrid grid_;
  std::string field_;
  bool quoted_ = false;
  long long row_ = 0;
  long long column_ = 0;
};

}  // namespace

CellGrid ReadCsvCells(std::string_view text) { return CsvReader(text).Read(); }

}  // namespace salvora::preview
