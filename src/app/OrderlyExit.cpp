#include "app/OrderlyExit.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include "app/MessageBox.h"
#include "app/ProgressWnd.h"
#include "platform/TerminationSignal.h"

namespace salvora {
namespace {

constexpr int kStepMs = 20;

}  // namespace

OrderlyExit::OrderlyExit(QWidget* root) : QObject(root), root_(root) {
  timer_.setInterval(kStepMs);
  connect(&timer_, &QTimer::timeout, this, &OrderlyExit::Step);
}

void OrderlyExit::WatchSignals() {
  int descriptor = TerminationSignalDescriptor();
  if (descriptor < 0 || signals_) return;
  signals_ = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
  connect(signals_, &QSocketNotifier::activated, this, [this, descriptor] {
    DrainTerminationSignals(descriptor);
    Begin();
  });
}

void OrderlyExit::Begin() {
  if (begun_) return;
  begun_ = true;
  timer_.start();
  Step();
}

void OrderlyExit::Step() {
  bool working = false;
  for (ProgressWnd* work : root_->findChildren<ProgressWnd*>()) {
    if (!work->IsWorking()) continue;
    working = true;
    work->CancelWithoutAsking();
  }
  QWidget* modal = QApplication::activeModalWidget();
  if (auto* box = qobject_cast<CMessageBox*>(modal)) {
    box->Dismiss();
  } else if (auto* dialog = qobject_cast<QDialog*>(modal);
             dialog && !qobject_cast<ProgressWnd*>(dialog)) {
    dialog->reject();
  }
  if (working || modal) return;
  timer_.stop();
  QApplication::quit();
}

}  // namespace salvora
