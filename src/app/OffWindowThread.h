#pragma once
// Work that reads a file or a device, run on a thread of its own while the
// window thread waits in an event loop: the window goes on drawing and
// following devices instead of freezing when the read hangs. Input waits,
// as it would behind a modal window, so the user cannot start a second
// command on top of this one.
#include <QEventLoop>
#include <QMetaObject>
#include <thread>
#include <utility>

namespace salvora {

template <typename Work>
auto WaitOffWindowThread(Work work) -> decltype(work()) {
  decltype(work()) result{};
  QEventLoop wait;
  // The quit is posted even when the work ends before the loop starts, so
  // the loop always runs and always ends: events posted meanwhile are served.
  std::thread worker([&] {
    result = work();
    QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
  });
  wait.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  return result;
}

}  // namespace salvora
