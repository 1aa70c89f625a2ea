#include "app/BackgroundQueue.h"

#include <QMetaObject>

namespace salvora {

BackgroundQueue::BackgroundQueue(QObject* parent)
    : QObject(parent), worker_([this] { Loop(); }) {}

BackgroundQueue::~BackgroundQueue() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    tasks_.clear();
  }
  wake_.notify_all();
  worker_.join();
}

void BackgroundQueue::Run(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_all();
}

void BackgroundQueue::Post(std::function<void()> done) {
  // Queued to this object: once it is destroyed, nothing posted runs.
  QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
}

void BackgroundQueue::WaitIdle() {
  std::unique_lock<std::mutex> guard(lock_);
  idle_.wait(guard, [this] { return tasks_.empty() && !running_; });
}

bool BackgroundQueue::Busy() const {
  std::lock_guard<std::mutex> guard(lock_);
  return running_ || !tasks_.empty();
}

void BackgroundQueue::Loop() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return stopping_ || !tasks_.empty(); });
    if (stopping_) return;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    running_ = true;
    guard.unlock();
    task();
    guard.lock();
    running_ = false;
    if (tasks_.empty()) idle_.notify_all();
  }
}

}  // namespace salvora
