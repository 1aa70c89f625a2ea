#pragma once
// Narrowing a scan's found files down to what the user looks for: name,
// type group, size, modification date and state, all at once. Both front
// ends search with it, so a search means the same in the window and on the
// command line.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "results/FoundRecord.h"
#include "results/NamePattern.h"
#include "results/TypeGroups.h"

namespace salvora {

// The states a found file can be in; a file is in one of deleted, live and
// carved, and may be damaged besides.
enum RecordState : uint8_t {
  kStateDeleted = 1,
  kStateLive = 2,
  kStateCarved = 4,
  kStateDamaged = 8,
};
uint8_t StatesOf(const FoundRecord& record);

struct RecordCriteria {
  std::string name;      // NamePattern text; empty for any name
  std::string typeList;  // a type-group list ("*.jpg|..." or ".other"); empty for any
  uint64_t minSize = 0;
  uint64_t maxSize = std::numeric_limits<uint64_t>::max();
  uint64_t modifiedFrom = 0;  // FILETIME, inclusive
  uint64_t modifiedBefore = std::numeric_limits<uint64_t>::max();  // FILETIME, exclusive
  uint8_t states = 0;  // RecordState bits, any of them; 0 for every state

  // True when the criteria let every record through.
  bool TakesAll() const;
};

// Applies criteria to many records; keeps per-extension answers, so one
// filter belongs to one thread.
class RecordFilter {
 public:
  RecordFilter() : RecordFilter(RecordCriteria{}) {}
  explicit RecordFilter(const RecordCriteria& criteria);

  const RecordCriteria& Criteria() const { return criteria_; }
  bool TakesAll() const { return takesAll_; }
  bool Takes(const FoundRecord& record);
  // The same, for a record whose name is kept elsewhere.
  bool Takes(const FoundRecord& record, std::string_view name);

 private:
  RecordCriteria criteria_;
  bool takesAll_;
  NamePattern name_;
  std::optional<NameFilter> types_;
};

// "1500", "64K", "2.5M", "1G" (powers of 1024) as bytes; nothing for text
// that is no size.
std::optional<uint64_t> ParseByteSize(std::string_view text);
// The FILETIME at the start of a day written "YYYY-MM-DD"; nothing for an
// impossible date. Times are compared as the volume stored them, as they
// are shown.
std::optional<uint64_t> ParseDayStart(std::string_view text);
// "deleted,damaged" as RecordState bits; nothing for an unknown word.
std::optional<uint8_t> ParseStates(std::string_view text);

}  // namespace salvora
