#include "storage/IFileRecoveryParse.h"

namespace salvora {

int IFileRecoveryParse::VisitFolder(const FoundRecord* folder, int32_t depth,
                                    const RecordVisitor& visit) {
  std::vector<FoundRecord> children;
  int result = ListFolder(folder, depth, children);
  for (const FoundRecord& child : children) visit(child);
  return result;
}

int IFileRecoveryParse::VisitByType(const std::string& filter, const RecordVisitor& visit) {
  std::vector<FoundRecord> files;
  int result = ListByType(filter, files);
  for (const FoundRecord& file : files) visit(file);
  return result;
}

}  // namespace salvora
