#pragma once
// The application object, which keeps an exception thrown while handling
// one event from ending the program: the user is told, the event counts
// as not handled, and found files, open windows and running work stay.
#include <QApplication>

namespace salvora {

class GuardedApplication : public QApplication {
  Q_OBJECT

 public:
  GuardedApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // How many events threw since the start.
  int FailedEvents() const { return failedEvents_; }

 private:
  void Report(const QString& what);

  int failedEvents_ = 0;
  bool reporting_ = false;
};

}  // namespace salvora
