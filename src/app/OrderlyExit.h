#pragma once
// Ending the program in order while work may be running: every progress
// window's worker is cancelled and joined, open questions are dismissed
// without an answer (never taken as a yes), and the event loop quits once
// nothing is left open, so temporary files are removed on the way out.
#include <QObject>
#include <QTimer>

class QSocketNotifier;
class QWidget;

namespace salvora {

class OrderlyExit : public QObject {
  Q_OBJECT

 public:
  // `root` is the main window, whose children are the progress windows.
  explicit OrderlyExit(QWidget* root);

  // Begins the exit on SIGTERM, SIGINT or SIGHUP.
  void WatchSignals();
  // Begins the exit now (idempotent).
  void Begin();
  bool Begun() const { return begun_; }

 private:
  void Step();

  QWidget* root_;
  QTimer timer_;
  QSocketNotifier* signals_ = nullptr;
  bool begun_ = false;
};

}  // namespace salvora
