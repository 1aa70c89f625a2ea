#pragma once
// One worker thread for the results page's long work (listing a folder of
// a million files, checking a whole tree), so the window stays responsive.
// Tasks run one after another, which also keeps an engine's store from
// being read by two threads at once. What a task hands back runs later on
// the window thread, and only while the queue still exists.
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace salvora {

class BackgroundQueue : public QObject {
  Q_OBJECT

 public:
  explicit BackgroundQueue(QObject* parent = nullptr);
  ~BackgroundQueue() override;

  // Runs `task` on the worker after the tasks before it.
  void Run(std::function<void()> task);
  // From a task: runs `done` on the window thread.
  void Post(std::function<void()> done);
  // Blocks until every task given so far has finished (their results are
  // still to be delivered).
  void WaitIdle();
  bool Busy() const;

 private:
  void Loop();

  mutable std::mutex lock_;
  std::condition_variable wake_, idle_;
  std::deque<std::function<void()>> tasks_;
  bool running_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace salvora
