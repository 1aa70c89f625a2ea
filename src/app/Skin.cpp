#include "app/Skin.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QUiLoader>
#include <QVBoxLayout>

#include "app/LanguageStore.h"

namespace salvora {
namespace {

// A tab page's text lives on its tab bar.
bool SetTabText(QWidget* page, const QString& text) {
  QWidget* stack = page->parentWidget();
  auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
  if (!tabs || !qobject_cast<QStackedWidget*>(stack)) return false;
  int index = tabs->indexOf(page);
  if (index < 0) return false;
  tabs->setTabText(index, text);
  return true;
}

void SetText(QObject* control, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
    group->setTitle(text);
  } else if (auto* action = qobject_cast<QAction*>(control)) {
    action->setText(text);
  } else if (auto* menu = qobject_cast<QMenu*>(control)) {
    menu->setTitle(text);
  } else if (auto* widget = qobject_cast<QWidget*>(control)) {
    if (!SetTabText(widget, text)) widget->setAccessibleName(text);
  }
}

}  // namespace

QWidget* LoadSkin(const QString& name, QWidget* host) {
  QFile file(QStringLiteral(":/skin/ui/%1.ui").arg(name));
  if (!file.open(QIODevice::ReadOnly))
    throw SkinError(("window layout " + name + " is not built in").toStdString());
  QUiLoader loader;
  QWidget* form = loader.load(&file, host);
  if (!form) throw SkinError(("window layout " + name + ": " + loader.errorString()).toStdString());
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(form);
  return form;
}

QObject* FindControl(QWidget* form, const char* name) {
  if (form->objectName() == QLatin1String(name)) return form;
  return form->findChild<QObject*>(QString::fromLatin1(name));
}

QString LanguageSectionOf(const QWidget* form) {
  return form->property("languageSection").toString();
}

void ApplyTexts(QWidget* form) {
  const IniPairs& texts = LanguageStore::Instance().Section(LanguageSectionOf(form));
  for (const auto& [key, value] : texts) {
    QString text = QString::fromStdString(value);
    if (form->objectName() == QString::fromStdString(key)) {
      form->window()->setWindowTitle(text);
      continue;
    }
    if (QObject* control = FindControl(form, key.c_str())) SetText(control, text);
  }
}

}  // namespace salvora
