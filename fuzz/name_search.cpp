// Matches found names, which come from disk and may be any bytes, against
// search patterns: the first byte splits the input into pattern and name.
#include <cstdint>
#include <string_view>

#include "results/NaturalOrder.h"
#include "results/RecordFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  size_t split = data[0] < rest.size() ? data[0] : rest.size();
  std::string_view pattern = rest.substr(0, split);
  std::string_view name = rest.substr(split);
  salvora::NamePattern(pattern).Matches(name);
  salvora::NaturalCompare(pattern, name);
  salvora::RecordCriteria criteria;
  criteria.name = std::string(pattern);
  criteria.typeList = salvora::GroupListByName("other");
  salvora::FoundRecord record{};
  salvora::SetRecordName(record.name, name.data(), name.size());
  salvora::RecordFilter(criteria).Takes(record);
  salvora::ParseByteSize(pattern);
  salvora::ParseDayStart(pattern);
  salvora::ParseStates(pattern);
  return 0;
}
