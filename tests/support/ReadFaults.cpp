#include "support/ReadFaults.h"

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "platform/RandomAccessFile.h"

namespace salvora::test {

// Shared by every file opened under the plan, which the deep scan reads from
// two threads at once.
struct ReadFaults::Schedule {
  FaultPlan plan;
  std::mutex mutex;
  uint64_t reads = 0;
  uint64_t failures = 0;

  // Whether the read just asked for fails.
  bool NextFails() {
    std::lock_guard<std::mutex> lock(mutex);
    ++reads;
    bool fails = (plan.failEvery != 0 && reads % plan.failEvery == 0) ||
                 (plan.failFrom != 0 && reads >= plan.failFrom);
    if (fails) ++failures;
    return fails;
  }
};

namespace {

class FaultyFile final : public RandomAccessFile {
 public:
  FaultyFile(std::unique_ptr<RandomAccessFile> file, std::shared_ptr<ReadFaults::Schedule> schedule)
      : file_(std::move(file)), schedule_(std::move(schedule)) {}

  long long ReadAt(void* buffer, size_t length, uint64_t offset) override {
    if (schedule_->NextFails()) return -EIO;
    if (schedule_->plan.shortReadBytes) length = std::min(length, schedule_->plan.shortReadBytes);
    // A read reaching a bad sector delivers what lies before it, as a disk does.
    const std::set<uint64_t>& bad = schedule_->plan.badSectors;
    auto first = bad.lower_bound(offset / 512);
    if (first != bad.end() && *first * 512 < offset + length) {
      if (*first * 512 <= offset) {
        std::lock_guard<std::mutex> lock(schedule_->mutex);
        ++schedule_->failures;
        return -EIO;
      }
      length = static_cast<size_t>(*first * 512 - offset);
    }
    return file_->ReadAt(buffer, length, offset);
  }
  uint64_t Size() const override { return file_->Size(); }
  uint32_t LogicalSectorSize() const override { return file_->LogicalSectorSize(); }
  bool IsBlockDevice() const override { return file_->IsBlockDevice(); }

 private:
  std::unique_ptr<RandomAccessFile> file_;
  std::shared_ptr<ReadFaults::Schedule> schedule_;
};

}  // namespace

ReadFaults::ReadFaults(const FaultPlan& plan) : schedule_(std::make_shared<Schedule>()) {
  schedule_->plan = plan;
  std::shared_ptr<Schedule> schedule = schedule_;
  SetOpenedFileWrapper([schedule](std::unique_ptr<RandomAccessFile> file) {
    return std::unique_ptr<RandomAccessFile>(new FaultyFile(std::move(file), schedule));
  });
}

ReadFaults::~ReadFaults() { SetOpenedFileWrapper(nullptr); }

uint64_t ReadFaults::Reads() const {
  std::lock_guard<std::mutex> lock(schedule_->mutex);
  return schedule_->reads;
}

uint64_t ReadFaults::Failures() const {
  std::lock_guard<std::mutex> lock(schedule_->mutex);
  return schedule_->failures;
}

}  // namespace salvora::test
