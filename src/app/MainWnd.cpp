#include "app/MainWnd.h"

#include <QStackedWidget>

#include "app/LanguageStore.h"
#include "app/Skin.h"

namespace salvora {

CMainWnd::CMainWnd(QWidget* parent) : QMainWindow(parent) {
  auto* host = new QWidget(this);
  form_ = LoadSkin("MainWnd", host);
  setCentralWidget(host);
  tabPage_ = Bind<QStackedWidget>(form_, "TabPage");
  tabPage_->setCurrentIndex(0);
  connect(&LanguageStore::Instance(), &LanguageStore::Changed, this, &CMainWnd::Retext);
  Retext();
}

void CMainWnd::Retext() { ApplyTexts(form_); }

void CMainWnd::TakeArguments(const QStringList&) {
  setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  show();
  raise();
  activateWindow();
}

}  // namespace salvora
