#pragma once
// The read-fault sweep: an engine is chosen for an image, scans it and
// recovers every file it lists, once on a sound disk and then with reads
// failing (every Nth for a sweep of N, or every one from some point on) and
// cut short. Every run must end with its reads bounded by the sound run's;
// a scan that claims success must have found all the sound run found, one
// that fails must fail with a read fault; a disk that dies later never
// yields fewer files; and every file is recovered byte for byte or reported
// as failed.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "storage/IFileRecoveryParse.h"
#include "support/ReadFaults.h"

namespace salvora::test {

struct SweepTarget {
  std::string image;
  // A deep scan walks only the free space when its quick engine could map
  // it, and the whole volume when a failed read kept it from that; carved
  // files are measured by reading on until a foreign sector. So what the
  // deep engines find varies with the faults, and only the quick engine's
  // finds take part in the checks across runs.
  bool deep = false;
};

// One file a run listed: its size and what its recovery gave.
struct SweptFile {
  uint64_t size = 0;
  int recoverResult = 0;
  bool failureReported = false;  // the transfer callback was told
  std::string bytes;
};

struct SweepRun {
  bool opened = false;
  int scanResult = 0;
  uint64_t reads = 0;
  uint64_t failures = 0;
  // Keyed by name and the sector its entry (or its data) lies at.
  std::map<std::string, SweptFile> files;
};

// Selects, scans and recovers once under `plan`.
SweepRun RunUnderFaults(const SweepTarget& target, const FaultPlan& plan);

// The whole sweep, with gtest expectations; returns the sound run.
SweepRun SweepReadFaults(const SweepTarget& target);

// Recovers `record` (a file, or a folder with all below it) to `target`;
// returns the path and error of every file whose transfer was told failed.
std::vector<std::pair<std::string, int>> RecoverNotingFailures(IFileRecoveryParse& engine,
                                                               const FoundRecord& record,
                                                               const std::string& target);

}  // namespace salvora::test
