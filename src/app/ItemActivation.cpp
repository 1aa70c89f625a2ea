#include "app/ItemActivation.h"

#include <QKeyEvent>

namespace salvora {
namespace {

class EnterKeyFilter : public QObject {
 public:
  EnterKeyFilter(QAbstractItemView* view, std::function<void(const QModelIndex&)> onActivate)
      : QObject(view), view_(view), onActivate_(std::move(onActivate)) {}

  void Activate(const QModelIndex& index) { onActivate_(index); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    int key = static_cast<QKeyEvent*>(event)->key();
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || !view_->currentIndex().isValid())
      return QObject::eventFilter(watched, event);
    onActivate_(view_->currentIndex());
    return true;
  }

 private:
  QAbstractItemView* view_;
  std::function<void(const QModelIndex&)> onActivate_;
};

}  // namespace

void OnRowActivation(QAbstractItemView* view, std::function<void(const QModelIndex&)> onActivate) {
  view->installEventFilter(new EnterKeyFilter(view, onActivate));
  QObject::connect(view, &QAbstractItemView::doubleClicked, view, onActivate);
}

void ActivateRow(QAbstractItemView* view, const QModelIndex& index) {
  if (!index.isValid()) return;
  for (QObject* child : view->children()) {
    if (auto* activation = dynamic_cast<EnterKeyFilter*>(child)) {
      activation->Activate(index);
      return;
    }
  }
}

}  // namespace salvora
