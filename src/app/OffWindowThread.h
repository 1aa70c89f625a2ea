#pragma once
// Work that reads a file or a device, run on a thread of its own while the
// window thread waits in an event loop: the window goes on drawing and
// following devices instead of freezing when the read hangs. Input waits,
// as it would behind a modal window, so the user cannot start a second
// command on top of this one.
#include <QEventLoop>
#include <QMetaObject>
#include <atomic>
#include <thread>
#include <utility>

namespace salvora {

template <typename Work>
auto WaitOffWindowThread(Work work) -> decltype(work()) {
  decltype(work()) result{};
  QEventLoop wait;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    result = work();
    done = true;
    QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
  });
  if (!done) wait.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  return result;
}

}  // namespace salvora
