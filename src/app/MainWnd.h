#pragma once
// The main window: leads the user from the choice of what to do, through
// the choice of a source and of file types, to the found files.
#include <QMainWindow>
#include <QStringList>

class QStackedWidget;

namespace salvora {

class CMainWnd : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainWnd(QWidget* parent = nullptr);

  // Arguments of a later start handed over by the single-instance guard:
  // the window comes to the front.
  void TakeArguments(const QStringList& arguments);

 private:
  void Retext();

  QWidget* form_;
  QStackedWidget* tabPage_;
};

}  // namespace salvora
