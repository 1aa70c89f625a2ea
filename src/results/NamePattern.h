#pragma once
// What a user types to find files by name: a piece of the name ("holiday")
// or, with `*` and `?`, the whole name ("*.docx", "IMG_00??.jpg"). Letters
// match whatever their case, in UTF-8 names too ("ÄRGER" finds "ärger.txt").
#include <string>
#include <string_view>
#include <vector>

namespace salvora {

class NamePattern {
 public:
  NamePattern() = default;
  explicit NamePattern(std::string_view pattern);

  // True for an empty pattern, which every name matches.
  bool IsEmpty() const { return pattern_.empty(); }
  bool Matches(std::string_view name) const;

 private:
  bool wildcard_ = false;
  std::u32string pattern_;           // case-folded code points
  mutable std::u32string folded_;    // the name being matched, reused
};

// The code points of UTF-8 text folded to one case. A byte that starts no
// valid sequence stands for itself, so damaged names still match by their
// readable part.
void FoldUtf8(std::string_view text, std::u32string& out);

}  // namespace salvora
