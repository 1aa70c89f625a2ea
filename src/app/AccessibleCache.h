#pragma once
// Qt makes a widget's accessible interface on the first change a widget
// reports (its text being set as the layout is loaded), whether or not
// anything listens, and keeps it. A widget given an interface of our own
// after that must have Qt's let go of, for the next request to reach our
// factory.
#include <QAccessible>
#include <QWidget>

namespace salvora {

inline void ForgetAccessibleInterface(QWidget* widget) {
  QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
  if (made) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

// Gives `widget` the interface `Factory` makes for widgets that carry
// `property`: the factory is installed once, the widget marked, and the
// interface Qt made for it already let go of.
template <QAccessible::InterfaceFactory Factory>
void UseAccessibleFactory(QWidget* widget, const char* property) {
  static const bool installed = (QAccessible::installFactory(Factory), true);
  (void)installed;
  widget->setProperty(property, true);
  ForgetAccessibleInterface(widget);
}

}  // namespace salvora
