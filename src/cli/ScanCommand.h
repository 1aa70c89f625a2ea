#pragma once
// `salvora scan` and `salvora recover`: the whole road of a scan through
// engine selection, the scan, the type listing and, for recover, the copy of
// every listed file.
#include <string>

#include "cli/SearchOptions.h"

namespace salvora {

struct ScanOptions {
  bool quick = false;
  bool deep = false;
  std::string types;
  bool json = false;
  std::string source;
  bool keepResults = false;
  bool fresh = false;    // deep: forget a saved scan of the source
  std::string scanData;  // folder for the scan's own data (empty: the usual one)
  SearchArgs search;
  RecordCriteria criteria;  // made from `search`
  // recover only
  std::string destination;
  bool keepPaths = false;
};

int RunScan(const ScanOptions& options, bool recover);

}  // namespace salvora
