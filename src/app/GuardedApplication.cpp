#include "app/GuardedApplication.h"

#include <QTimer>
#include <exception>

#include "app/LanguageStore.h"
#include "app/MessageBox.h"

namespace salvora {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    Report(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    Report(QString());
  }
  return false;
}

void GuardedApplication::Report(const QString& what) {
  ++failedEvents_;
  // The box runs an event loop of its own: a second failure meanwhile is
  // counted, not stacked as a second box.
  if (reporting_) return;
  reporting_ = true;
  QTimer::singleShot(0, this, [this, what] {
    QString text = Msg("MSG2002");
    if (!what.isEmpty()) text += "\n\n" + what;
    CMessageBox::Show(activeWindow(), CMessageBox::kError, text, 400, 160);
    reporting_ = false;
  });
}

}  // namespace salvora
