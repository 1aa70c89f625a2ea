#include "app/AccessibleRows.h"

#include <QAbstractItemModel>
#include <QAbstractTableModel>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QTreeView>
#include <QWindow>
#include <map>
#include <memory>

#include "app/AccessibleCache.h"
#include "app/ItemActivation.h"

namespace salvora {
namespace {

const char kExposedProperty[] = "salvoraAccessibleRows";

// The shown rows of a view in display order. A flat model's rows are all
// shown, each at its own number; a tree's are walked through the view,
// which knows what is expanded and hidden (trees here hold tens of rows).
class ShownRows {
 public:
  explicit ShownRows(const QTreeView* view) : view_(view), model_(view->model()) {}

  bool Flat() const {
    return qobject_cast<const QAbstractTableModel*>(model_) ||
           qobject_cast<const QAbstractListModel*>(model_);
  }

  int Count() const {
    if (Flat()) return model_->rowCount(view_->rootIndex());
    int count = 0;
    for (QModelIndex row = First(); row.isValid(); row = view_->indexBelow(row)) ++count;
    return count;
  }

  // The first column's index of shown row `number`; invalid past the end.
  QModelIndex At(int number) const {
    if (number < 0) return {};
    if (Flat()) return model_->index(number, 0, view_->rootIndex());
    QModelIndex row = First();
    for (int at = 0; at < number && row.isValid(); ++at) row = view_->indexBelow(row);
    return row;
  }

  // The shown row of `index`; -1 when it is not shown.
  int NumberOf(const QModelIndex& index) const {
    if (!index.isValid()) return -1;
    if (Flat()) return index.row();
    QModelIndex wanted = index.sibling(index.row(), 0);
    int number = 0;
    for (QModelIndex row = First(); row.isValid(); row = view_->indexBelow(row), ++number)
      if (row == wanted) return number;
    return -1;
  }

 private:
  QModelIndex First() const {
    QModelIndex root = view_->rootIndex();
    for (int row = 0; row < model_->rowCount(root); ++row)
      if (!view_->isRowHidden(row, root)) return model_->index(row, 0, root);
    return {};
  }

  const QTreeView* view_;
  const QAbstractItemModel* model_;
};

// The cell of the row a check box belongs to: the cell itself, else the
// row's first.
QModelIndex CheckCell(const QModelIndex& index) {
  if (index.flags() & Qt::ItemIsUserCheckable) return index;
  QModelIndex first = index.sibling(index.row(), 0);
  return (first.flags() & Qt::ItemIsUserCheckable) ? first : QModelIndex();
}

class Cell : public QAccessibleInterface,
             public QAccessibleActionInterface,
             public QAccessibleTableCellInterface {
 public:
  // A cell of a row, or (with `index` invalid) the header of `column`.
  Cell(QTreeView* view, const QModelIndex& index, int column)
      : view_(view), index_(index), column_(column) {}

  bool isValid() const override {
    return view_ && (index_.isValid() || (Header() && column_ < view_->header()->count()));
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(view_.data());
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  void setText(QAccessible::Text, const QString&) override {}
  QAccessible::Role role() const override {
    return Header() ? QAccessible::ColumnHeader : QAccessible::TreeItem;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ActionInterface && !Header())
      return static_cast<QAccessibleActionInterface*>(this);
    if (type == QAccessible::TableCellInterface && !Header())
      return static_cast<QAccessibleTableCellInterface*>(this);
    return nullptr;
  }

  // Where a screen reader reads the cell's column and row from.
  bool isSelected() const override {
    return isValid() && view_->selectionModel() && view_->selectionModel()->isSelected(index_);
  }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    QAccessibleInterface* table = parent();
    QAccessibleInterface* header = table ? table->child(column_) : nullptr;
    return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return column_; }
  int rowIndex() const override { return isValid() ? ShownRows(view_).NumberOf(index_) : -1; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

  QString text(QAccessible::Text kind) const override {
    if (!isValid()) return {};
    if (Header())
      return kind == QAccessible::Name
                 ? view_->model()->headerData(column_, Qt::Horizontal).toString()
                 : QString();
    if (kind == QAccessible::Description)
      return index_.data(Qt::AccessibleDescriptionRole).toString();
    if (kind != QAccessible::Name) return {};
    QString name = index_.data(Qt::AccessibleTextRole).toString();
    return name.isEmpty() ? index_.data(Qt::DisplayRole).toString() : name;
  }

  QRect rect() const override {
    if (!isValid()) return {};
    if (Header()) {
      QHeaderView* header = view_->header();
      QRect section(header->sectionViewportPosition(column_), 0, header->sectionSize(column_),
                    header->height());
      return section.translated(header->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    return view_->visualRect(index_).translated(view_->viewport()->mapToGlobal(QPoint(0, 0)));
  }

  QAccessible::State state() const override {
    QAccessible::State state;
    if (!isValid()) {
      state.invalid = true;
      return state;
    }
    if (Header()) return state;
    QModelIndex current = view_->currentIndex();
    bool currentRow = current.isValid() && current.sibling(current.row(), 0) == RowStart();
    state.focusable = true;
    state.focused = currentRow && view_->hasFocus();
    state.active = currentRow;
    state.selectable = view_->selectionMode() != QAbstractItemView::NoSelection;
    state.selected = view_->selectionModel() && view_->selectionModel()->isSelected(index_);
    state.disabled = !(index_.flags() & Qt::ItemIsEnabled);
    state.offscreen = !view_->viewport()->rect().intersects(view_->visualRect(index_));
    if (index_.column() == 0 && view_->model()->hasChildren(index_)) {
      state.expandable = true;
      state.expanded = view_->isExpanded(index_);
      state.collapsed = !state.expanded;
    }
    if (index_.flags() & Qt::ItemIsUserCheckable) {
      auto check = index_.data(Qt::CheckStateRole).value<Qt::CheckState>();
      state.checkable = true;
      state.checked = check == Qt::Checked;
      state.checkStateMixed = check == Qt::PartiallyChecked;
    }
    return state;
  }

  QStringList actionNames() const override {
    if (!isValid()) return {};
    return {setFocusAction(), pressAction(), toggleAction()};
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

  void doAction(const QString& name) override {
    if (!isValid()) return;
    if (name == setFocusAction()) {
      MakeCurrent();
    } else if (name == pressAction()) {
      MakeCurrent();
      // Later, as a button's press is: the caller (a screen reader) is not
      // kept waiting by a window the activation may open.
      QMetaObject::invokeMethod(
          view_.data(),
          [view = view_, index = QPersistentModelIndex(index_)] {
            if (view && index.isValid()) Activate(view, index);
          },
          Qt::QueuedConnection);
    } else if (name == toggleAction()) {
      Toggle();
    }
  }

  const QPersistentModelIndex& Index() const { return index_; }
  int Column() const { return column_; }

 private:
  bool Header() const { return column_ >= 0 && !index_.isValid(); }
  QModelIndex RowStart() const { return index_.sibling(index_.row(), 0); }

  void MakeCurrent() {
    view_->setCurrentIndex(index_);
    view_->scrollTo(index_);
    view_->setFocus(Qt::OtherFocusReason);
  }

  // What a double click does: the view's activation, and a node opens or
  // closes.
  static void Activate(QTreeView* view, const QModelIndex& index) {
    QModelIndex row = index.sibling(index.row(), 0);
    if (view->expandsOnDoubleClick() && view->model()->hasChildren(row))
      view->setExpanded(row, !view->isExpanded(row));
    ActivateRow(view, index);
  }

  void Toggle() {
    QModelIndex box = CheckCell(index_);
    if (box.isValid()) {
      // A partly checked box checks everything, as a click on it does.
      bool checked = box.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
      view_->model()->setData(box, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
      return;
    }
    if (view_->selectionModel() && view_->selectionModel()->isSelected(index_))
      view_->selectionModel()->select(index_,
                                      QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    else
      MakeCurrent();
  }

  QPointer<QTreeView> view_;
  QPersistentModelIndex index_;
  int column_;
};

class RowView : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit RowView(QTreeView* view) : QAccessibleWidget(view, QAccessible::Tree) {}
  ~RowView() override { Forget(); }

  int childCount() const override {
    Follow();
    if (Columns() == 0) return 0;
    return (ShownRows(View()).Count() + 1) * Columns();
  }

  QAccessibleInterface* child(int number) const override {
    Follow();
    int columns = Columns();
    if (number < 0 || columns == 0) return nullptr;
    auto known = cells_.find(number);
    if (known != cells_.end()) return QAccessible::accessibleInterface(known->second);
    int row = number / columns - 1;
    int column = number % columns;
    QModelIndex index;
    if (row >= 0) {
      QModelIndex start = ShownRows(View()).At(row);
      if (!start.isValid()) return nullptr;
      index = start.sibling(start.row(), column);
    }
    auto* cell = new Cell(View(), index, column);
    cells_[number] = QAccessible::registerAccessibleInterface(cell);
    return cell;
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    for (const auto& [number, id] : cells_)
      if (QAccessible::accessibleInterface(id) == child) return number;
    auto* cell = dynamic_cast<const Cell*>(child);
    if (!cell || !cell->isValid()) return -1;
    if (!cell->Index().isValid()) return cell->Column();
    int row = ShownRows(View()).NumberOf(cell->Index());
    return row < 0 ? -1 : (row + 1) * Columns() + cell->Index().column();
  }

  QAccessibleInterface* childAt(int x, int y) const override {
    QPoint inside = View()->viewport()->mapFromGlobal(QPoint(x, y));
    QModelIndex index = View()->indexAt(inside);
    int row = ShownRows(View()).NumberOf(index);
    return row < 0 ? nullptr : child((row + 1) * Columns() + index.column());
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  // The table a screen reader walks by row and column.
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override {
    if (row < 0 || column < 0 || column >= Columns()) return nullptr;
    return child((row + 1) * Columns() + column);
  }
  int columnCount() const override { return Columns(); }
  int rowCount() const override { return Columns() == 0 ? 0 : ShownRows(View()).Count(); }
  QString columnDescription(int column) const override {
    return View()->model() ? View()->model()->headerData(column, Qt::Horizontal).toString()
                           : QString();
  }
  QString rowDescription(int) const override { return {}; }
  int selectedCellCount() const override { return static_cast<int>(Selected().size()); }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    for (const QModelIndex& index : Selected()) {
      int row = ShownRows(View()).NumberOf(index);
      if (QAccessibleInterface* cell = row < 0 ? nullptr : cellAt(row, index.column()))
        cells << cell;
    }
    return cells;
  }
  int selectedRowCount() const override { return static_cast<int>(selectedRows().size()); }
  QList<int> selectedRows() const override {
    QList<int> rows;
    if (!View()->selectionModel()) return rows;
    for (const QModelIndex& index : View()->selectionModel()->selectedRows()) {
      int row = ShownRows(View()).NumberOf(index);
      if (row >= 0) rows << row;
    }
    return rows;
  }
  bool isRowSelected(int row) const override {
    QModelIndex index = ShownRows(View()).At(row);
    return index.isValid() && View()->selectionModel() &&
           View()->selectionModel()->isRowSelected(index.row(), index.parent());
  }
  // Selecting a row makes it current: the window follows the current row.
  bool selectRow(int row) override {
    QModelIndex index = ShownRows(View()).At(row);
    if (!index.isValid() || View()->selectionMode() == QAbstractItemView::NoSelection) return false;
    View()->setCurrentIndex(index);
    return true;
  }
  bool unselectRow(int row) override {
    QModelIndex index = ShownRows(View()).At(row);
    if (!index.isValid() || !View()->selectionModel()) return false;
    View()->selectionModel()->select(index,
                                     QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
  }
  int selectedColumnCount() const override { return 0; }
  QList<int> selectedColumns() const override { return {}; }
  bool isColumnSelected(int) const override { return false; }
  bool selectColumn(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent*) override { Forget(false); }

  QAccessibleInterface* focusChild() const override {
    QModelIndex current = View()->currentIndex();
    int row = ShownRows(View()).NumberOf(current);
    if (!View()->hasFocus() || row < 0) return nullptr;
    return child((row + 1) * Columns() + current.column());
  }

 private:
  QTreeView* View() const { return static_cast<QTreeView*>(widget()); }
  QModelIndexList Selected() const {
    return View()->selectionModel() ? View()->selectionModel()->selectedIndexes()
                                    : QModelIndexList();
  }
  int Columns() const {
    return View()->model() ? View()->model()->columnCount(View()->rootIndex()) : 0;
  }

  // Numbers move whenever rows come, go, move or open: the cells known by
  // number are let go then, as Qt's own are.
  void Follow() const {
    if (watched_ == View()->model() && watcher_) return;
    Forget();
    if (!View()->model()) return;
    watcher_ = std::make_unique<QObject>();
    watched_ = View()->model();
    auto forget = [this] { Forget(false); };
    QAbstractItemModel* model = watched_;
    QObject* context = watcher_.get();
    QObject::connect(model, &QAbstractItemModel::modelReset, context, forget);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, context, forget);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, context, forget);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, context, forget);
    QObject::connect(model, &QAbstractItemModel::rowsMoved, context, forget);
    QObject::connect(model, &QAbstractItemModel::columnsInserted, context, forget);
    QObject::connect(model, &QAbstractItemModel::columnsRemoved, context, forget);
    QObject::connect(View(), &QTreeView::expanded, context, forget);
    QObject::connect(View(), &QTreeView::collapsed, context, forget);
  }

  void Forget(bool unwatch = true) const {
    for (const auto& [number, id] : cells_) QAccessible::deleteAccessibleInterface(id);
    cells_.clear();
    if (unwatch) watcher_.reset();
  }

  mutable std::map<int, QAccessible::Id> cells_;
  mutable QPointer<QAbstractItemModel> watched_;
  mutable std::unique_ptr<QObject> watcher_;
};

QAccessibleInterface* RowViewFactory(const QString&, QObject* object) {
  auto* view = qobject_cast<QTreeView*>(object);
  if (!view || !view->property(kExposedProperty).toBool()) return nullptr;
  return new RowView(view);
}

}  // namespace

void ExposeRowsToAssistiveTechnology(QTreeView* view) {
  UseAccessibleFactory<&RowViewFactory>(view, kExposedProperty);
}

}  // namespace salvora
