// The window as assistive technology drives it, through the accessible
// interfaces a screen reader reaches over AT-SPI: rows made current and
// activated, the menu opened by its button's action, the order Tab takes,
// named arrows in the preview window, and colours left to the theme.
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include "app/FileListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/PreviewWnd.h"
#include "app/support/AppTestSupport.h"

using namespace salvora;
using namespace salvora::test;

namespace {

QAccessibleInterface* AccessOf(QWidget* widget) {
  return QAccessible::queryAccessibleInterface(widget);
}

// The accessible cell that shows `index`, found as a screen reader finds
// it: among the view's children, by its name.
QAccessibleInterface* CellOf(QTreeView* view, const QModelIndex& index) {
  QAccessibleInterface* rows = AccessOf(view);
  QString name = index.data().toString();
  for (int number = 0; number < rows->childCount(); ++number) {
    QAccessibleInterface* cell = rows->child(number);
    if (cell && cell->role() == QAccessible::TreeItem && cell->text(QAccessible::Name) == name)
      return cell;
  }
  return nullptr;
}

void Act(QTreeView* view, const QModelIndex& index, const QString& action) {
  QAccessibleInterface* cell = CellOf(view, index);
  QVERIFY2(cell, qPrintable(index.data().toString()));
  QVERIFY(cell->actionInterface()->actionNames().contains(action));
  cell->actionInterface()->doAction(action);
}

QModelIndex RowNamed(QAbstractItemModel* model, const QString& name) {
  for (int row = 0; row < model->rowCount(); ++row)
    if (model->index(row, 0).data().toString() == name) return model->index(row, 0);
  return {};
}

// Closes every preview window that opens while it lives, keeping the row
// it showed.
class PreviewCloser : public QObject {
 public:
  PreviewCloser() {
    connect(&timer_, &QTimer::timeout, this, [this] {
      if (auto* window = qobject_cast<CPreviewWnd*>(QApplication::activeModalWidget())) {
        shownRow = window->Row();
        window->reject();
      }
    });
    timer_.start(20);
  }
  int shownRow = -1;

 private:
  QTimer timer_;
};

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { environment_ = std::make_unique<AppEnvironment>(); }
  void cleanup() { environment_.reset(); }

  void rowsAreMadeCurrentActivatedAndCheckedThroughTheirCells() {
    TempDir dir;
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(
        dir, "card.img", {{"Meeting notes.txt", "some notes\n"}, {"Travel plan.txt", "a plan\n"}},
        {"Meeting notes.txt", "Travel plan.txt"});
    CMainWnd window;
    OpenOn(window, card.image, "BtnDeletedRecovery");
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // The disk list: a named tree whose cells can be made current.
    auto* disks = window.findChild<QTreeView*>("DiskList");
    QModelIndex image = disks->currentIndex().siblingAtColumn(0);
    QAccessibleInterface* diskRows = AccessOf(disks);
    QCOMPARE(diskRows->role(), QAccessible::Tree);
    QCOMPARE(diskRows->text(QAccessible::Name),
             LanguageStore::Instance().Text("MainWnd", "DiskList"));
    Act(disks, image.parent(), QAccessibleActionInterface::setFocusAction());
    QCOMPARE(disks->currentIndex().siblingAtColumn(0), image.parent());
    QAccessibleInterface* imageCell = CellOf(disks, image);
    QCOMPARE(diskRows->child(diskRows->indexOfChild(imageCell)), imageCell);
    imageCell->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    QCOMPARE(disks->currentIndex().siblingAtColumn(0), image);
    QVERIFY(window.findChild<QLabel*>("Label1")->text().contains("card.img"));
    QVERIFY(imageCell->state().focused);
    QCOMPARE(diskRows->focusChild(), imageCell);

    // Pressing the row scans it, as Enter does; the caller is answered first.
    imageCell->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(window.CurrentPage(), int(CMainWnd::kDiskPage));
    QTRY_COMPARE(window.CurrentPage(), int(CMainWnd::kResultPage));

    // The type tree: pressing a group opens or closes it, as a double click
    // does; its extension row shows its files when made current and checks
    // them all when toggled.
    auto* types = window.findChild<QTreeWidget*>("TypeTree");
    QModelIndex group;  // the group of the text files; empty groups are hidden
    for (int row = types->model()->rowCount() - 1; row >= 0; --row)
      if (!types->isRowHidden(row, {})) group = types->model()->index(row, 0);
    bool open = types->isExpanded(group);
    Act(types, group, QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(types->isExpanded(group), !open);
    if (!types->isExpanded(group)) types->expand(group);
    QModelIndex extension = types->model()->index(0, 0, group);
    Act(types, extension, QAccessibleActionInterface::setFocusAction());
    QTRY_COMPARE(window.Files().rowCount(), 2);
    Act(types, extension, QAccessibleActionInterface::toggleAction());
    QCOMPARE(window.Results().CheckedCount(), uint64_t{2});
    Act(types, extension, QAccessibleActionInterface::toggleAction());
    QCOMPARE(window.Results().CheckedCount(), uint64_t{0});

    // The file list: a row's check box toggles, and pressing the row opens
    // the preview window on it, as Enter does.
    auto* files = window.findChild<QTreeView*>("FileList");
    QModelIndex notes = RowNamed(files->model(), "Meeting notes.txt");
    QVERIFY(notes.isValid());
    QVERIFY(CellOf(files, notes)->state().checkable);
    Act(files, notes, QAccessibleActionInterface::toggleAction());
    QCOMPARE(window.Results().CheckedCount(), uint64_t{1});
    QVERIFY(CellOf(files, notes)->state().checked);
    PreviewCloser closer;
    Act(files, notes, QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(closer.shownRow, notes.row());

    // Read as a table, by row and column, a row selected there is current.
    QAccessibleTableInterface* table = AccessOf(files)->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->columnDescription(0), files->model()->headerData(0, Qt::Horizontal).toString());
    QAccessibleInterface* noteCell = table->cellAt(notes.row(), 0);
    QCOMPARE(noteCell->text(QAccessible::Name), QString("Meeting notes.txt"));
    QCOMPARE(noteCell->tableCellInterface()->rowIndex(), notes.row());
    QCOMPARE(noteCell->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name),
             table->columnDescription(0));
    int other = 1 - notes.row();
    QVERIFY(table->selectRow(other));
    QCOMPARE(files->currentIndex().row(), other);
    QCOMPARE(table->selectedRows(), QList<int>{other});

    // A search that hides a row lets its cell go; the children follow.
    QAccessible::Id planCell =
        QAccessible::uniqueId(CellOf(files, RowNamed(files->model(), "Travel plan.txt")));
    auto* name = window.findChild<QLineEdit*>("SearchName");
    name->setText("notes");
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(files->model()->rowCount(), 1);
    QVERIFY(!QAccessible::accessibleInterface(planCell));
    int columns = files->model()->columnCount();
    QAccessibleInterface* fileRows = AccessOf(files);
    QCOMPARE(fileRows->childCount(), 2 * columns);
    QCOMPARE(fileRows->child(columns)->text(QAccessible::Name), QString("Meeting notes.txt"));
    QCOMPARE(fileRows->child(0)->role(), QAccessible::ColumnHeader);
  }

  void theMenuButtonsActionOpensANamedMenuAndReturns() {
    CMainWnd window;
    window.show();
    auto* button = window.findChild<QToolButton*>("BtnAssist");
    QAccessibleInterface* access = AccessOf(button);
    QCOMPARE(access->role(), QAccessible::ButtonMenu);
    QCOMPARE(access->text(QAccessible::Name), QString("Menu"));
    QVERIFY(access->state().hasPopup);
    for (const QString& action : {QAccessibleActionInterface::pressAction(),
                                  QAccessibleActionInterface::showMenuAction()}) {
      QVERIFY2(access->actionInterface()->actionNames().contains(action),
               qPrintable(access->actionInterface()->actionNames().join(", ")));
      access->actionInterface()->doAction(action);
      QTRY_VERIFY(button->menu()->isVisible());
      QAccessibleInterface* menu = access->child(0);
      QCOMPARE(menu->role(), QAccessible::PopupMenu);
      QCOMPARE(menu->text(QAccessible::Name), Msg("MSG2601"));
      button->menu()->hide();
    }
  }

  void tabReachesTheDiskListFirstOnItsPage() {
    CMainWnd window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.findChild<QToolButton*>("BtnDeletedRecovery")->click();
    auto* disks = window.findChild<QTreeView*>("DiskList");
    QTRY_VERIFY(disks->hasFocus());
    QStringList before;
    for (QWidget* widget = window.nextInFocusChain(); widget != disks && widget != &window;
         widget = widget->nextInFocusChain()) {
      if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus))
        before << widget->objectName();
    }
    for (const QString& name : before)
      QVERIFY2(QStringList({"BtnLoadImage", "BtnAdvanceScan", "BtnScan"}).contains(name),
               qPrintable(before.join(", ")));
  }

  void thePreviewWindowsButtonsAreNamedInEachLanguage() {
    CMainWnd window;
    CPreviewWnd preview(window, window.Previews(), -1);
    for (const char* language : {"German", "English"}) {
      LanguageStore::Instance().SetLanguage(language);
      QCOMPARE(AccessOf(preview.findChild<QPushButton*>("PrevBtn"))->text(QAccessible::Name),
               Msg("MSG2602"));
      QCOMPARE(AccessOf(preview.findChild<QPushButton*>("NextBtn"))->text(QAccessible::Name),
               Msg("MSG2603"));
      for (auto* button : preview.findChildren<QPushButton*>()) {
        QString name = AccessOf(button)->text(QAccessible::Name);
        QVERIFY2(name.size() > 1, qPrintable(button->objectName() + ": " + name));
      }
    }
  }

  void coloursAreLeftToTheTheme() {
    CMainWnd window;
    for (const char* mode : {"BtnDeletedRecovery", "BtnCreateImageMode"}) {
      window.findChild<QToolButton*>(mode)->click();
      for (QWidget* widget : window.findChildren<QWidget*>())
        QVERIFY2(widget->styleSheet().isEmpty(), qPrintable(widget->objectName()));
    }
    // The page title keeps its accent from the palette.
    QCOMPARE(window.findChild<QLabel*>("Txt1")->foregroundRole(), QPalette::Link);
  }

 private:
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
