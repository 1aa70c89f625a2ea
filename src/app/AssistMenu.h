#pragma once
// The assistant menu of the main window: the languages on offer, the
// saved deep scans, help, the program's version and licence, and leaving
// the program.
#include <QObject>

class QMenu;
class QToolButton;
class QWidget;

namespace salvora {

class AssistMenu : public QObject {
  Q_OBJECT

 public:
  AssistMenu(QToolButton* button, QWidget* window);

 private:
  void Build();
  void ShowAbout();
  void OpenHelp();

  QToolButton* button_;
  QWidget* window_;
  QMenu* menu_;
};

// Where the README of an installed program is, or of the source tree.
QString HelpDocumentPath();

}  // namespace salvora
