#include "app/DiskListLoader.h"

#include <QMetaObject>
#include <mutex>
#include <thread>

#include "storage/DiskEnumerator.h"
#include "storage/DiskHelpers.h"

namespace salvora {
namespace {

DiskListSnapshot ReadDiskList() {
  DiskListSnapshot snapshot;
  DiskEnumerator enumerator;
  enumerator.Refresh();
  enumerator.CollectAll(snapshot.records);
  for (const PartitionRecord& record : snapshot.records)
    if (record.diskNumber >= 0 && !snapshot.removableDisks.count(record.diskNumber) &&
        IsRemovableDisk(static_cast<uint32_t>(record.diskNumber)))
      snapshot.removableDisks.insert(record.diskNumber);
  return snapshot;
}

}  // namespace

// What the reading thread may still touch after the loader is gone.
struct DiskListLoader::Shared {
  std::mutex lock;
  DiskListLoader* loader = nullptr;  // null once the loader is gone
};

DiskListLoader::DiskListLoader(QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
  shared_->loader = this;
}

DiskListLoader::~DiskListLoader() {
  std::lock_guard<std::mutex> hold(shared_->lock);
  shared_->loader = nullptr;
}

void DiskListLoader::Request() {
  if (running_) {
    again_ = true;
    return;
  }
  StartReading();
}

void DiskListLoader::StartReading() {
  running_ = true;
  again_ = false;
  std::thread([shared = shared_] {
    DiskListSnapshot snapshot = ReadDiskList();
    std::lock_guard<std::mutex> hold(shared->lock);
    DiskListLoader* loader = shared->loader;
    if (!loader) return;
    // Posted while the loader surely lives; Qt drops the call if the
    // loader is deleted before it runs.
    QMetaObject::invokeMethod(
        loader,
        [loader, snapshot = std::move(snapshot)]() mutable { loader->Deliver(std::move(snapshot)); },
        Qt::QueuedConnection);
  }).detach();
}

void DiskListLoader::Deliver(DiskListSnapshot snapshot) {
  running_ = false;
  ++delivered_;
  emit Loaded(snapshot);
  if (again_) StartReading();
}

}  // namespace salvora
