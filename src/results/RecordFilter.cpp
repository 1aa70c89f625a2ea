#include "results/RecordFilter.h"

#include <charconv>
#include <cmath>

#include "platform/Clock.h"

namespace salvora {

uint8_t StatesOf(const FoundRecord& record) {
  uint8_t states = record.engineKind == kCarved ? kStateCarved
                   : record.isDeleted           ? kStateDeleted
                                                : kStateLive;
  if (!record.isFolder && !record.contentOk) states |= kStateDamaged;
  return states;
}

bool RecordCriteria::TakesAll() const {
  return name.empty() && typeList.empty() && minSize == 0 &&
         maxSize == std::numeric_limits<uint64_t>::max() && modifiedFrom == 0 &&
         modifiedBefore == std::numeric_limits<uint64_t>::max() && states == 0;
}

RecordFilter::RecordFilter(const RecordCriteria& criteria)
    : criteria_(criteria), takesAll_(criteria.TakesAll()), name_(criteria.name) {
  if (!criteria_.typeList.empty())
    types_.emplace(criteria_.typeList, criteria_.typeList.find(".other") != std::string::npos);
}

bool RecordFilter::Takes(const FoundRecord& record) {
  return Takes(record, std::string_view(record.name, RecordNameLength(record.name)));
}

bool RecordFilter::Takes(const FoundRecord& record, std::string_view name) {
  if (takesAll_) return true;
  const RecordCriteria& c = criteria_;
  // Folders have no size or type of their own; a size or type search
  // passes over them.
  if (record.isFolder && (!c.typeList.empty() || c.minSize > 0 ||
                          c.maxSize != std::numeric_limits<uint64_t>::max()))
    return false;
  if (record.fileSize < c.minSize || record.fileSize > c.maxSize) return false;
  if (record.writeTime < c.modifiedFrom || record.writeTime >= c.modifiedBefore) return false;
  if (c.states != 0 && (StatesOf(record) & c.states) == 0) return false;
  if (types_ && !types_->Takes(name)) return false;
  return name_.Matches(name);
}

std::optional<uint64_t> ParseByteSize(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  unsigned shift = 0;
  switch (text.back()) {
    case 'k': case 'K': shift = 10; break;
    case 'm': case 'M': shift = 20; break;
    case 'g': case 'G': shift = 30; break;
    case 't': case 'T': shift = 40; break;
    default: break;
  }
  if (shift) text.remove_suffix(1);
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  double bytes = std::ldexp(value, static_cast<int>(shift));
  if (bytes >= 18446744073709551616.0) return std::nullopt;
  return static_cast<uint64_t>(bytes);
}

std::optional<uint64_t> ParseDayStart(std::string_view text) {
  int parts[3] = {};
  const char* at = text.data();
  const char* end = text.data() + text.size();
  for (int i = 0; i < 3; ++i) {
    if (i > 0 && (at == end || *at++ != '-')) return std::nullopt;
    auto [next, error] = std::from_chars(at, end, parts[i]);
    if (error != std::errc() || next == at) return std::nullopt;
    at = next;
  }
  if (at != end) return std::nullopt;
  uint64_t time = FileTimeFromCalendar(parts[0], parts[1], parts[2], 0, 0, 0);
  if (time == 0) return std::nullopt;
  return time;
}

std::optional<uint8_t> ParseStates(std::string_view text) {
  static const std::pair<std::string_view, uint8_t> kWords[] = {
      {"deleted", kStateDeleted}, {"live", kStateLive},
      {"carved", kStateCarved},   {"damaged", kStateDamaged}};
  uint8_t states = 0;
  while (!text.empty()) {
    size_t comma = text.find(',');
    std::string_view word = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    uint8_t bit = 0;
    for (auto [known, value] : kWords)
      if (word == known) bit = value;
    if (bit == 0) return std::nullopt;
    states |= bit;
  }
  if (states == 0) return std::nullopt;
  return states;
}

}  // namespace salvora
