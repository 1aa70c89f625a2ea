#pragma once
// `salvora scan` and `salvora recover`: the scan, collection and recovery
// jobs run one after the other on the volumes of SOURCE, and what each job
// tells is put into words and an exit code.
#include <string>

#include "cli/SearchOptions.h"
#include "jobs/CollectJob.h"

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
  RecordPredicate keep;     // a further test of each found file; unset: all
  // recover only
  std::string destination;
  bool keepPaths = false;
};

int RunScan(const ScanOptions& options, bool recover);

}  // namespace salvora
