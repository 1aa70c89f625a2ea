#pragma once
// Reads the disk list on a thread of its own. Enumerating disks opens and
// probes every device, and a dying USB disk or a hung mount can take
// minutes to answer: the window thread must go on drawing and taking input
// meanwhile. A request while a reading runs is served by one more reading
// after it, so the last answer is always current.
#include <QObject>
#include <memory>
#include <set>
#include <vector>

#include "storage/PartitionRecord.h"

namespace salvora {

struct DiskListSnapshot {
  std::vector<PartitionRecord> records;
  std::set<int32_t> removableDisks;
};

class DiskListLoader : public QObject {
  Q_OBJECT

 public:
  explicit DiskListLoader(QObject* parent = nullptr);
  // A reading still running when the window goes is left to end alone; it
  // holds nothing of this object.
  ~DiskListLoader() override;

  // Starts a reading, or asks for one more after the running one.
  void Request();
  // How many readings have been delivered.
  uint64_t Delivered() const { return delivered_; }
  bool Running() const { return running_; }

 signals:
  // A reading is done (on the window thread).
  void Loaded(const salvora::DiskListSnapshot& snapshot);

 private:
  struct Shared;
  void StartReading();
  void Deliver(DiskListSnapshot snapshot);

  std::shared_ptr<Shared> shared_;
  bool running_ = false;
  bool again_ = false;
  uint64_t delivered_ = 0;
};

}  // namespace salvora
