#pragma once
// INI text as the language files and config.ini use it: "[section]" lines
// open a section, every other line is split at its first '=' into a key and
// its text. Values keep commas, quotes, backslashes and further '=' exactly
// as written, which general-purpose settings readers do not.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace salvora {

using IniPairs = std::vector<std::pair<std::string, std::string>>;

struct IniSection {
  std::string name;
  IniPairs pairs;
};

class IniDocument {
 public:
  // Lines before the first section header, blank lines, lines without '='
  // and comment lines (';' or '#') carry nothing and are skipped. Keys and
  // texts lose surrounding blanks; a UTF-8 byte-order mark is ignored.
  static IniDocument Parse(std::string_view text);

  const std::vector<IniSection>& Sections() const { return sections_; }
  // Null when the section is absent (names compare without regard to case).
  const IniSection* Find(std::string_view section) const;
  // Empty when the section or the key is absent.
  std::string Value(std::string_view section, std::string_view key) const;

 private:
  std::vector<IniSection> sections_;
};

// `text` with `key` of `section` set to `value`: an existing line is
// replaced in place, a missing key is added at the end of its section, a
// missing section is appended. Every other line stays as it was.
std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace salvora
