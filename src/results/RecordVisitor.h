#pragma once
// What listings call with each record they read, in no set order.
#include <functional>

namespace salvora {

struct FoundRecord;
// Takes one listed record; what it keeps it copies.
using RecordVisitor = std::function<void(const FoundRecord&)>;

}  // namespace salvora
