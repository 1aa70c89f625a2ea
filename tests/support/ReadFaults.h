#pragma once
// Faults injected into every file the engines open while a ReadFaults
// object lives, as SQLite's tests inject them: the reads of all those files
// are counted together, and chosen ones fail with EIO (every Nth, every one
// from the Nth on: a disk that dies, or those touching bad sectors), while
// each read may deliver fewer bytes than asked.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>

namespace salvora::test {

struct FaultPlan {
  uint64_t failEvery = 0;      // reads N, 2N, 3N ... fail; 0: none
  uint64_t failFrom = 0;       // read N and every later one fail; 0: none
  size_t shortReadBytes = 0;   // most bytes one read delivers; 0: all asked
  std::set<uint64_t> badSectors;  // 512-byte sectors no read gets past
};

class ReadFaults {
 public:
  explicit ReadFaults(const FaultPlan& plan = {});
  ~ReadFaults();
  ReadFaults(const ReadFaults&) = delete;
  ReadFaults& operator=(const ReadFaults&) = delete;

  uint64_t Reads() const;
  uint64_t Failures() const;

  struct Schedule;

 private:
  std::shared_ptr<Schedule> schedule_;
};

}  // namespace salvora::test
