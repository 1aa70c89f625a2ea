#include "support/EngineListing.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "results/TypeGroups.h"

namespace salvora::test {

std::map<std::string, FoundRecord> ListedByPath(IFileRecoveryParse& engine) {
  std::vector<FoundRecord> records;
  engine.ListByType(KnownExtensions() + "|.other", records);
  std::map<std::string, FoundRecord> found;
  for (const FoundRecord& record : records) {
    std::string folder;
    EXPECT_EQ(engine.GetRecordPath(record, folder), 0);
    std::string key = folder + record.name;
    EXPECT_EQ(found.count(key), 0u) << "listed twice: " << key;
    found[key] = record;
  }
  return found;
}

std::map<std::string, FoundRecord> TreeByPath(IFileRecoveryParse& engine) {
  std::map<std::string, FoundRecord> found;
  std::vector<std::pair<std::string, std::pair<FoundRecord, int32_t>>> pending;
  std::vector<FoundRecord> children;
  EXPECT_EQ(engine.ListFolder(nullptr, 0, children), 0);
  auto take = [&](const std::string& prefix, int32_t depth) {
    for (const FoundRecord& child : children) {
      std::string key = prefix + child.name + (child.isFolder ? "/" : "");
      found[key] = child;
      if (child.isFolder) pending.push_back({key, {child, depth + 1}});
    }
  };
  take("", 0);
  while (!pending.empty() && found.size() < 100000) {
    auto [prefix, folder] = pending.back();
    pending.pop_back();
    children.clear();
    EXPECT_EQ(engine.ListFolder(&folder.first, folder.second, children), 0);
    take(prefix, folder.second);
  }
  return found;
}

}  // namespace salvora::test
