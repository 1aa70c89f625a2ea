#include "cli/SearchOptions.h"

#include <CLI/CLI.hpp>

namespace salvora {
namespace {

template <typename Parse, typename Value>
bool ParseInto(const std::string& text, const char* option, const char* expected, Parse parse,
               Value& into, std::string& reason) {
  if (text.empty()) return true;
  auto parsed = parse(text);
  if (!parsed) {
    reason = std::string(option) + " takes " + expected + ", not '" + text + "'";
    return false;
  }
  into = *parsed;
  return true;
}

}  // namespace

void AddSearchOptions(CLI::App& command, SearchArgs& args) {
  command.add_option("--name", args.name,
                     "only names containing this text, or matching it with * and ? wildcards "
                     "('*.docx'); letters match in either case");
  command.add_option("--min-size", args.minSize, "only files of at least this size (1500, 64K, 2M, 1G)");
  command.add_option("--max-size", args.maxSize, "only files of at most this size");
  command.add_option("--after", args.after, "only files modified on or after this day (YYYY-MM-DD)");
  command.add_option("--before", args.before, "only files modified before this day (YYYY-MM-DD)");
  command.add_option("--state", args.state,
                     "only files in any of these states: deleted,live,carved,damaged");
}

bool BuildCriteria(const SearchArgs& args, RecordCriteria& criteria, std::string& reason) {
  criteria.name = args.name;
  const char* size = "a size such as 1500, 64K, 2M or 1G";
  const char* day = "a day written YYYY-MM-DD";
  if (!ParseInto(args.minSize, "--min-size", size, ParseByteSize, criteria.minSize, reason) ||
      !ParseInto(args.maxSize, "--max-size", size, ParseByteSize, criteria.maxSize, reason) ||
      !ParseInto(args.after, "--after", day, ParseDayStart, criteria.modifiedFrom, reason) ||
      !ParseInto(args.before, "--before", day, ParseDayStart, criteria.modifiedBefore, reason) ||
      !ParseInto(args.state, "--state", "deleted, live, carved or damaged, joined by commas",
                 ParseStates, criteria.states, reason))
    return false;
  if (criteria.minSize > criteria.maxSize) {
    reason = "--min-size is larger than --max-size";
    return false;
  }
  if (criteria.modifiedFrom >= criteria.modifiedBefore) {
    reason = "--after is not before --before";
    return false;
  }
  return true;
}

}  // namespace salvora
