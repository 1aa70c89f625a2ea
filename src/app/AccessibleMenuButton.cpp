#include "app/AccessibleMenuButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMenu>
#include <QToolButton>

#include "app/AccessibleCache.h"

namespace salvora {
namespace {

const char kMenuButtonProperty[] = "salvoraAccessibleMenuButton";

class MenuButton : public QAccessibleWidget {
 public:
  explicit MenuButton(QToolButton* button) : QAccessibleWidget(button, QAccessible::ButtonMenu) {}

  QString text(QAccessible::Text kind) const override {
    QString text = QAccessibleWidget::text(kind);
    if (kind != QAccessible::Name || !text.isEmpty()) return text;
    return Button()->text().remove('&');
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.hasPopup = true;
    return state;
  }

  int childCount() const override { return Button()->menu() ? 1 : 0; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 && Button()->menu() ? QAccessible::queryAccessibleInterface(Button()->menu())
                                          : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child && child->object() == Button()->menu() ? 0 : -1;
  }

  QStringList actionNames() const override {
    if (!Button()->isEnabled() || !Button()->menu()) return QAccessibleWidget::actionNames();
    return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
  }

  void doAction(const QString& name) override {
    QMenu* menu = Button()->menu();
    if ((name != showMenuAction() && name != pressAction()) || !menu) {
      QAccessibleWidget::doAction(name);
      return;
    }
    if (!Button()->isEnabled()) return;
    // popup() rather than the button's own exec(): the caller is answered
    // while the menu stays open.
    menu->popup(Button()->mapToGlobal(QPoint(0, Button()->height())));
  }

 private:
  QToolButton* Button() const { return static_cast<QToolButton*>(widget()); }
};

QAccessibleInterface* MenuButtonFactory(const QString&, QObject* object) {
  auto* button = qobject_cast<QToolButton*>(object);
  if (!button || !button->property(kMenuButtonProperty).toBool()) return nullptr;
  return new MenuButton(button);
}

}  // namespace

void OpenMenuForAssistiveTechnology(QToolButton* button) {
  UseAccessibleFactory<&MenuButtonFactory>(button, kMenuButtonProperty);
}

}  // namespace salvora
