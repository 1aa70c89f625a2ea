// Searching the found files from the keyboard: Ctrl+F, a name pattern, a
// size, the count of what matches, and checking every match; the list sorts
// names as people count and keeps the selection when it sorts.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

#include "app/FileListModel.h"
#include "app/FolderTreeModel.h"
#include "app/MainWnd.h"
#include "app/support/AppTestSupport.h"

using namespace salvora;
using namespace salvora::test;

namespace {

QStringList Names(QTreeView* list) {
  QStringList names;
  for (int row = 0; row < list->model()->rowCount(); ++row)
    names << list->model()->index(row, 0).data().toString();
  return names;
}

}  // namespace

class SearchTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { environment_ = std::make_unique<AppEnvironment>(); }
  void cleanup() { environment_.reset(); }

  void theSearchIsDrivenFromTheKeyboard() {
    TempDir dir;
    std::map<std::string, std::string> files = {
        {"Camera/Photo 2.bin", PseudoRandomBytes(3000, 1)},
        {"Camera/Photo 10.bin", PseudoRandomBytes(30000, 2)},
        {"Camera/Photo 1.bin", PseudoRandomBytes(40000, 3)},
        {"Camera/a holiday.bin", PseudoRandomBytes(5000, 4)},
    };
    std::vector<std::string> all;
    for (const auto& [path, bytes] : files) all.push_back(path);
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "card.img", files, all);
    CMainWnd window;
    window.show();
    OpenOn(window, card.image, "BtnDeletedRecovery");
    window.findChild<QPushButton*>("BtnScan")->click();
    QCOMPARE(window.CurrentPage(), int(CMainWnd::kResultPage));
    // The bar is shown above the list, not only reachable by Ctrl+F.
    auto* bar = window.findChild<QWidget*>("SearchBar");
    QVERIFY(bar->isVisible());
    QVERIFY(bar->height() >= bar->minimumSizeHint().height());

    auto* folders = window.findChild<QTreeView*>("DiskTree");
    auto* list = window.findChild<QTreeView*>("FileList");
    QAbstractItemModel* tree = folders->model();
    QModelIndex root = tree->index(0, 0);
    folders->expand(root);
    QTRY_VERIFY(tree->rowCount(root) > 0);
    folders->setCurrentIndex(tree->index(0, 0, root));
    QTRY_COMPARE(list->model()->rowCount(), 4);

    // Names sort as people count, and the selected file stays selected.
    list->setCurrentIndex(list->model()->index(Names(list).indexOf("Photo 10.bin"), 0));
    window.Files().ClickHeader(FileListModel::kName);
    QCOMPARE(Names(list),
             QStringList({"a holiday.bin", "Photo 1.bin", "Photo 2.bin", "Photo 10.bin"}));
    QCOMPARE(list->currentIndex().data().toString(), QString("Photo 10.bin"));
    window.Files().ClickHeader(FileListModel::kName);
    QCOMPARE(Names(list).first(), QString("Photo 10.bin"));
    QCOMPARE(list->currentIndex().data().toString(), QString("Photo 10.bin"));

    // Ctrl+F puts the keyboard in the name field (the scan's windows have
    // come and gone; the main window is the active one again).
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    auto* name = window.findChild<QLineEdit*>("SearchName");
    QTRY_VERIFY(name->hasFocus());
    QTest::keyClicks(name, "PHOTO ?.BIN");
    QTRY_COMPARE(Names(list), QStringList({"Photo 2.bin", "Photo 1.bin"}));
    auto* info = window.findChild<QLabel*>("SearchInfo");
    QVERIFY2(info->text().startsWith("2 of 4 files match"), qPrintable(info->text()));

    // Tab on to the smallest size: type, state, then size.
    QTest::keyClick(name, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto* minSize = window.findChild<QLineEdit*>("SearchMinSize");
    QCOMPARE(QApplication::focusWidget(), minSize);
    QTest::keyClicks(minSize, "10K");
    QTest::keyClick(minSize, Qt::Key_Return);
    QCOMPARE(Names(list), QStringList({"Photo 1.bin"}));

    // A size that means nothing leaves the list as it was, and says so.
    QTest::keyClicks(minSize, "Q");
    QTest::keyClick(minSize, Qt::Key_Return);
    QCOMPARE(Names(list), QStringList({"Photo 1.bin"}));
    QVERIFY(!window.findChild<QPushButton*>("BtnSelectMatches")->isEnabled());
    QTest::keyClick(minSize, Qt::Key_Backspace);
    QTest::keyClick(minSize, Qt::Key_Backspace);
    QTest::keyClick(minSize, Qt::Key_Backspace);
    QTest::keyClick(minSize, Qt::Key_Return);
    QCOMPARE(Names(list), QStringList({"Photo 2.bin", "Photo 1.bin"}));

    // Select all that match, from the keyboard: the two matches are
    // checked, the hidden ones are not.
    auto* selectMatches = window.findChild<QPushButton*>("BtnSelectMatches");
    selectMatches->setFocus();
    QTest::keyClick(selectMatches, Qt::Key_Space);
    QVERIFY2(window.findChild<QLabel*>("SelectedFileInfo")->text().endsWith("in 2 files"),
             qPrintable(window.findChild<QLabel*>("SelectedFileInfo")->text()));
    QCOMPARE(window.Results().CheckedCount(), uint64_t{2});

    // A type group that holds none of them empties the list.
    auto* type = window.findChild<QComboBox*>("SearchType");
    type->setFocus();
    QTest::keyClick(type, Qt::Key_Down);
    QTest::keyClick(type, Qt::Key_Down);
    QCOMPARE(type->currentIndex(), 2);
    QCOMPARE(list->model()->rowCount(), 0);
    QVERIFY2(info->text().startsWith("0 of 4 files match"), qPrintable(info->text()));

    // A folder checked and at once unchecked ends unchecked, whatever the
    // worker was still doing.
    auto* model = static_cast<FolderTreeModel*>(tree);
    QModelIndex camera = tree->index(0, 0, root);
    model->setData(camera, Qt::Checked, Qt::CheckStateRole);
    model->setData(camera, Qt::Unchecked, Qt::CheckStateRole);
    model->setData(root, Qt::Checked, Qt::CheckStateRole);
    model->setData(camera, Qt::Unchecked, Qt::CheckStateRole);
    QTRY_VERIFY(!model->Busy());
    QCOMPARE(window.Results().CheckedCount(), uint64_t{0});
  }

 private:
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(SearchTest)
#include "SearchTest.moc"
