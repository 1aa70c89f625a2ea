#include "app/AssistMenu.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QToolButton>
#include <QUrl>

#include "app/AccessibleMenuButton.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/SavedScansWnd.h"

namespace salvora {

QString HelpDocumentPath() {
  QString exe = QCoreApplication::applicationDirPath();
  for (const QString& candidate :
       {exe + "/../share/doc/salvora/README.md", exe + "/../README.md", exe + "/README.md"})
    if (QFileInfo(candidate).isFile()) return QDir::cleanPath(candidate);
  return {};
}

AssistMenu::AssistMenu(QToolButton* button, QWidget* window)
    : QObject(window), button_(button), window_(window), menu_(new QMenu(window)) {
  menu_->setObjectName("menu_assist");
  button_->setMenu(menu_);
  button_->setPopupMode(QToolButton::InstantPopup);
  OpenMenuForAssistiveTechnology(button_);
  connect(&LanguageStore::Instance(), &LanguageStore::Changed, this, &AssistMenu::Build);
  Build();
}

void AssistMenu::Build() {
  LanguageStore& texts = LanguageStore::Instance();
  auto text = [&](const char* key) { return texts.Text("MainWnd", key); };
  menu_->clear();
  menu_->setTitle(Msg("MSG2601"));
  menu_->setAccessibleName(menu_->title());
  QMenu* languages = menu_->addMenu(text("item_language"));
  languages->setObjectName("item_language");
  auto* group = new QActionGroup(languages);
  for (const LanguageChoice& choice : texts.Languages()) {
    QAction* action = languages->addAction(choice.menuText);
    action->setCheckable(true);
    action->setChecked(choice.fileName == texts.CurrentLanguage());
    action->setActionGroup(group);
    QString file = choice.fileName;
    // Queued: the menu being rebuilt must not vanish under its own signal.
    connect(
        action, &QAction::triggered, this, [file] { LanguageStore::Instance().SetLanguage(file); },
        Qt::QueuedConnection);
  }
  if (auto* main = qobject_cast<CMainWnd*>(window_))
    menu_->addAction(text("item_saved_scans"), this, [main] { CSavedScansWnd::Run(main); })
        ->setObjectName("item_saved_scans");
  menu_->addAction(text("item_help"), this, &AssistMenu::OpenHelp)->setObjectName("item_help");
  menu_->addAction(text("item_about"), this, &AssistMenu::ShowAbout)->setObjectName("item_about");
  menu_->addSeparator();
  menu_->addAction(text("item_exit"), window_, &QWidget::close)->setObjectName("item_exit");
}

void AssistMenu::ShowAbout() {
  QString about = LanguageStore::Instance().FormatIn(
      "MainWnd", "AboutText", {QCoreApplication::applicationVersion().toStdString()});
  CMessageBox::Show(window_, CMessageBox::kInformation, about, 420, 200);
}

void AssistMenu::OpenHelp() {
  QString path = HelpDocumentPath();
  if (!path.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace salvora
