#pragma once
// What an engine lists, keyed by the path a user sees: by type (with each
// record's folder path) or by walking the folder tree from the root.
#include <map>
#include <string>

#include "storage/IFileRecoveryParse.h"

namespace salvora::test {

// Every found file keyed by folder path + name; a name listed twice fails
// the current test.
std::map<std::string, FoundRecord> ListedByPath(IFileRecoveryParse& engine);
// Every record reached from the root, keyed as above (folders end with '/').
std::map<std::string, FoundRecord> TreeByPath(IFileRecoveryParse& engine);

}  // namespace salvora::test
