#include "app/IniFile.h"

#include <strings.h>

namespace salvora {
namespace {

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The section name of a "[name]" line; empty when the line is no header.
bool SectionHeader(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  name = Trim(line.substr(1, line.size() - 2));
  return true;
}

// Calls `onLine` for every line of `text` (without its line break).
template <typename Fn>
void ForEachLine(std::string_view text, Fn onLine) {
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    onLine(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool SplitPair(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return false;
  size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return false;
  key = Trim(trimmed.substr(0, equals));
  value = Trim(trimmed.substr(equals + 1));
  return !key.empty();
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  IniDocument document;
  ForEachLine(text, [&](std::string_view line) {
    std::string_view name, key, value;
    if (SectionHeader(line, name)) {
      document.sections_.push_back({std::string(name), {}});
    } else if (!document.sections_.empty() && SplitPair(line, key, value)) {
      document.sections_.back().pairs.emplace_back(std::string(key), std::string(value));
    }
  });
  return document;
}

const IniSection* IniDocument::Find(std::string_view section) const {
  for (const IniSection& candidate : sections_)
    if (SameName(candidate.name, section)) return &candidate;
  return nullptr;
}

std::string IniDocument::Value(std::string_view section, std::string_view key) const {
  const IniSection* found = Find(section);
  if (!found) return {};
  for (const auto& [name, value] : found->pairs)
    if (SameName(name, key)) return value;
  return {};
}

std::string WithIniValue(std::string_view text, std::string_view section, std::string_view key,
                         std::string_view value) {
  std::string newLine = std::string(key) + "=" + std::string(value) + "\n";
  std::string out;
  bool inSection = false, written = false;
  ForEachLine(text, [&](std::string_view line) {
    std::string_view name, lineKey, lineValue;
    if (SectionHeader(line, name)) {
      if (inSection && !written) out += newLine, written = true;
      inSection = SameName(name, section);
    } else if (inSection && !written && SplitPair(line, lineKey, lineValue) &&
               SameName(lineKey, key)) {
      out += newLine;
      written = true;
      return;
    }
    out += line;
    out += '\n';
  });
  // Every line went out with a line break, so what follows starts a line.
  if (!written) {
    if (!inSection) out += "[" + std::string(section) + "]\n";
    out += newLine;
  }
  return out;
}

}  // namespace salvora
