#pragma once
// The search options of `scan` and `recover` (--name, --min-size,
// --max-size, --after, --before, --state) and the record criteria they make.
#include <string>

#include "results/RecordFilter.h"

namespace CLI {
class App;
}

namespace salvora {

struct SearchArgs {
  std::string name, minSize, maxSize, after, before, state;
};

void AddSearchOptions(CLI::App& command, SearchArgs& args);
// False with a reason for a value that is no size, date or state, or for a
// range that can hold nothing.
bool BuildCriteria(const SearchArgs& args, RecordCriteria& criteria, std::string& reason);

}  // namespace salvora
