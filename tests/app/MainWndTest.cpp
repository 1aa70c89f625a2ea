// The main window driven by its controls' names with the real engines:
// from the mode choice through the scan and the results to recovered
// files, the page rules, the checks, the sorting and the language.
#include <QAbstractItemModel>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <set>

#include "app/DiskListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/support/AppTestSupport.h"
#include "support/PartitionedImage.h"

using namespace salvora;
using namespace salvora::test;

namespace {

template <typename T = QWidget>
T* Control(QWidget& window, const char* name) {
  T* control = window.findChild<T*>(name);
  if (!control) qFatal("no control %s", name);
  return control;
}

void Click(QWidget& window, const char* name) { Control<QAbstractButton>(window, name)->click(); }

int Page(QWidget& window) { return Control<QStackedWidget>(window, "TabPage")->currentIndex(); }

QTreeWidgetItem* NodeLabelled(QTreeWidget* tree, const QString& label) {
  for (QTreeWidgetItem* item : tree->findItems(label, Qt::MatchExactly | Qt::MatchRecursive))
    return item;
  return nullptr;
}

QStringList Labels(QTreeWidget* tree) {
  QStringList labels;
  for (int g = 0; g < tree->topLevelItemCount(); ++g) {
    QTreeWidgetItem* group = tree->topLevelItem(g);
    if (group->isHidden()) continue;
    labels << group->text(0);
    for (int c = 0; c < group->childCount(); ++c) labels << "  " + group->child(c)->text(0);
  }
  return labels;
}

QStringList Column(QTreeView* list, int column) {
  QStringList cells;
  for (int row = 0; row < list->model()->rowCount(); ++row)
    cells << list->model()->index(row, column).data().toString();
  return cells;
}

void CheckRow(QTreeView* list, int row, bool checked) {
  list->model()->setData(list->model()->index(row, 0), checked ? Qt::Checked : Qt::Unchecked,
                         Qt::CheckStateRole);
}

std::map<std::string, std::string> CardFiles(const TempDir& dir) {
  return {
      {"Photos/2024/Summer beach.jpg", MakeJpeg(dir, 420, 300, "11")},
      {"Photos/2024/IMG_1.JPEG", MakeJpeg(dir, 300, 200, "12")},
      {"Photos/Winter hike.jpg", MakeJpeg(dir, 380, 260, "13")},
      {"Letters/Dear friend.txt", std::string(9000, 'd')},
      {"Letters/Measurements.xyz", PseudoRandomBytes(12000, 14)},
      {"Still here.bin", PseudoRandomBytes(20000, 15)},
  };
}

}  // namespace

// A card with photos in folders, a letter and an unknown kind, deleted.
DeletedFilesImage MakeCard(const TempDir& dir, std::map<std::string, std::string>& files) {
  files = CardFiles(dir);
  return MakeFatImageWithDeletedFiles(
      dir, "card.img", files,
      {"Photos/2024/Summer beach.jpg", "Photos/2024/IMG_1.JPEG", "Photos/Winter hike.jpg",
       "Letters/Dear friend.txt", "Letters/Measurements.xyz"});
}

// The card in a main window in recovery mode, its image selected.
struct OpenedCard {
  TempDir dir;
  std::map<std::string, std::string> files;
  DeletedFilesImage card = MakeCard(dir, files);
  CMainWnd window;
  OpenedCard() { OpenOn(window, card.image, "BtnDeletedRecovery"); }
};

std::multiset<std::string> Contents(const std::map<std::string, std::string>& files) {
  std::multiset<std::string> contents;
  for (const auto& [path, bytes] : files) contents.insert(bytes);
  return contents;
}

class MainWndTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { environment_ = std::make_unique<AppEnvironment>(); }
  void cleanup() { environment_.reset(); }

  void keysReachTheCommandsOnlyWhereTheirButtonsShow() {
    CMainWnd window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    FileDialogAnswerer files({QString()});
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);  // no Load Image on page 0
    QCOMPARE(files.Answered(), 0);
    Click(window, "BtnDeletedRecovery");
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(files.Answered(), 1);
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);  // nothing found to recover yet
    QCOMPARE(files.Answered(), 1);
    QVERIFY(Control<QAbstractButton>(window, "BtnScan")->text().contains('&'));
  }

  void anImageOfAWholeDiskIsListedAsADiskAndItsPartitionsScan() {
    TempDir dir;
    std::string image = dir / "disk.img";
    const PartitionPlan fat{2048, 73728, "c"};  // room for FAT32 at one sector a cluster
    MakePartitionedImage(image, "dos", 196608, {fat});
    WriteFile(dir / "lost.jpg", MakeJpeg(dir, 320, 240, "51"));
    FillFat32Partition(image, fat, {dir / "lost.jpg"}, {"lost.jpg"});
    CMainWnd window;
    window.show();
    Click(window, "BtnDeletedRecovery");
    QModelIndex partition = window.AddImageSource(image);
    QModelIndex disk = partition.parent();
    QCOMPARE(disk.data().toString(), QString("disk.img"));
    QCOMPARE(window.Disks().rowCount(disk), 2);  // the partition and the free tail
    QVERIFY2(partition.data().toString().contains("FAT32"),
             qPrintable(partition.data().toString()));
    QVERIFY(Control<QTreeView>(window, "DiskList")->isExpanded(disk));
    Control<QTreeView>(window, "DiskList")->setCurrentIndex(partition);
    Click(window, "BtnScan");
    QCOMPARE(Page(window), int(CMainWnd::kResultPage));
    QCOMPARE(window.Results().Size(), size_t{1});
  }

  void theWholeRoadFromModeToRecoveredFiles() {
    TempDir dir;
    std::map<std::string, std::string> files;
    DeletedFilesImage card = MakeCard(dir, files);
    CMainWnd window;
    window.show();
    QCOMPARE(Page(window), int(CMainWnd::kModePage));
    QVERIFY(Control(window, "BtnNext")->isHidden());
    window.AddImageSource(card.image);
    Click(window, "BtnDeletedRecovery");
    QCOMPARE(Page(window), int(CMainWnd::kDiskPage));
    QCOMPARE(window.ScanMode(), 0);
    QModelIndex header = window.Disks().ImageHeader();
    Control<QTreeView>(window, "DiskList")->setCurrentIndex(window.Disks().index(0, 0, header));
    QCOMPARE(window.Disks().index(0, DiskListModel::kType, header).data().toString(), "FAT32");
    if (HaveCommand("mkfs.exfat")) {
      Run("truncate -s 8M " + Quote(dir / "card.exfat") + " && mkfs.exfat " +
          Quote(dir / "card.exfat") + " >/dev/null");
      QModelIndex exfat = window.AddImageSource(dir / "card.exfat");
      QCOMPARE(exfat.siblingAtColumn(DiskListModel::kType).data().toString(), "exFAT");
    }
    QVERIFY(Control(window, "TabFileType")->isEnabled());
    QVERIFY(Control<QLabel>(window, "Label1")->text().contains("card.img"));

    Click(window, "BtnScan");
    QCOMPARE(Page(window), int(CMainWnd::kResultPage));
    auto* tree = Control<QTreeWidget>(window, "TypeTree");
    // IMG_1.JPEG counts under the option that names "jpg"; .xyz is no
    // option's, so it goes under Other by its own name.
    QCOMPARE(Labels(tree), QStringList({"Photos (3)", "  JPG/JPEG (3)", "Documents (1)",
                                        "  TXT Files (1)", "Other Files (1)", "  XYZ Files (1)"}));

    tree->setCurrentItem(NodeLabelled(tree, "JPG/JPEG (3)"));
    auto* list = Control<QTreeView>(window, "FileList");
    QCOMPARE(list->model()->rowCount(), 3);
    QVERIFY(!Control(window, "BtnRecover")->isEnabled());
    QCOMPARE(Control<QLabel>(window, "SelectedFileInfo")->text(), QString("No files selected."));
    CheckRow(list, 0, true);
    auto* all = Control<QCheckBox>(window, "ChkSelAll");
    QCOMPARE(all->checkState(), Qt::PartiallyChecked);
    QCOMPARE(NodeLabelled(tree, "JPG/JPEG (3)")->checkState(0), Qt::PartiallyChecked);
    all->click();
    QCOMPARE(all->checkState(), Qt::Checked);
    QCOMPARE(NodeLabelled(tree, "Photos (3)")->checkState(0), Qt::Checked);
    QVERIFY(Control(window, "BtnRecover")->isEnabled());
    QTRY_VERIFY(Control<QLabel>(window, "SelectedFileInfo")->text().endsWith("in 3 files"));
    NodeLabelled(tree, "XYZ Files (1)")->setCheckState(0, Qt::Checked);
    QVERIFY(Control<QLabel>(window, "SelectedFileInfo")->text().endsWith("in 4 files"));

    RecoveryFinisher finisher;
    std::string destination = dir / "out";
    QCOMPARE(window.RecoverInto(destination), 1);
    std::map<std::string, std::string> written = FilesUnder(destination);
    QCOMPARE(written["photo/IMG_1.JPEG"], files["Photos/2024/IMG_1.JPEG"]);
    QCOMPARE(written["photo/Summer beach.jpg"], files["Photos/2024/Summer beach.jpg"]);
    QCOMPARE(written["photo/Winter hike.jpg"], files["Photos/Winter hike.jpg"]);
    QCOMPARE(written["others/Measurements.xyz"], files["Letters/Measurements.xyz"]);
    QCOMPARE(written.size(), size_t{4});

    // Unchecking every row again: nothing to recover.
    all->click();
    QCOMPARE(all->checkState(), Qt::Unchecked);
    NodeLabelled(tree, "XYZ Files (1)")->setCheckState(0, Qt::Unchecked);
    QVERIFY(!Control(window, "BtnRecover")->isEnabled());
    QCOMPARE(Control<QLabel>(window, "SelectedFileInfo")->text(), QString("No files selected."));
  }

  void aDeepScanOfAFormattedCardGivesThePhotosBack() {
    TempDir dir;
    std::map<std::string, std::string> files = CardFiles(dir);
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "card.img", files, {});
    Run("mkfs.fat -F 32 -n FRESH " + Quote(card.image) + " >/dev/null");
    CMainWnd window;
    OpenOn(window, card.image, "BtnDeepRecovery");
    QCOMPARE(window.ScanMode(), 1);
    Click(window, "BtnScan");
    QCOMPARE(Page(window), int(CMainWnd::kResultPage));
    auto* tree = Control<QTreeWidget>(window, "TypeTree");
    // Carving may find a picture twice; every photo must be among them.
    QTreeWidgetItem* photos = nullptr;
    for (QTreeWidgetItem* item :
         tree->findItems("JPG/JPEG (", Qt::MatchStartsWith | Qt::MatchRecursive))
      photos = item;
    QVERIFY2(photos, qPrintable(Labels(tree).join(" | ")));
    photos->setCheckState(0, Qt::Checked);
    RecoveryFinisher finisher;
    QCOMPARE(window.RecoverInto(dir / "out"), 1);
    std::multiset<std::string> recovered = Contents(FilesUnder(dir / "out"));
    for (const char* photo :
         {"Photos/2024/Summer beach.jpg", "Photos/2024/IMG_1.JPEG", "Photos/Winter hike.jpg"})
      QVERIFY2(recovered.count(files[photo]), photo);
  }

  void theFolderViewListsAndChecksWholeFolders() {
    OpenedCard opened;
    CMainWnd& window = opened.window;
    TempDir& dir = opened.dir;
    std::map<std::string, std::string>& files = opened.files;
    Click(window, "BtnScan");
    auto* folders = Control<QTreeView>(window, "DiskTree");
    QAbstractItemModel* model = folders->model();
    QCOMPARE(model->rowCount(), 1);
    QModelIndex root = model->index(0, 0);
    QVERIFY(model->data(root).toString().contains("card.img"));
    folders->expand(root);
    // Folders are listed on a worker; the window shows them when they come.
    QTRY_VERIFY(model->rowCount(root) > 0);
    QModelIndex photos;
    for (int row = 0; row < model->rowCount(root); ++row)
      if (model->index(row, 0, root).data().toString() == "Photos")
        photos = model->index(row, 0, root);
    QVERIFY(photos.isValid());
    folders->setCurrentIndex(photos);
    auto* list = Control<QTreeView>(window, "FileList");
    QTRY_COMPARE(list->model()->rowCount(), 2);
    QStringList names = Column(list, 0);
    names.sort();
    QCOMPARE(names, QStringList({"2024", "Winter hike.jpg"}));
    QCOMPARE(Column(list, 1), QStringList({"Photos/", "Photos/"}));
    int fileRow = Column(list, 0).indexOf("Winter hike.jpg");

    // Checking a folder checks everything under it, sub-folders too.
    model->setData(photos, Qt::Checked, Qt::CheckStateRole);
    QTRY_VERIFY(Control<QLabel>(window, "SelectedFileInfo")->text().endsWith("in 3 files"));
    QCOMPARE(list->model()->index(fileRow, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    RecoveryFinisher finisher;
    QCOMPARE(window.RecoverInto(dir / "out"), 1);
    std::map<std::string, std::string> written = FilesUnder(dir / "out");
    QCOMPARE(written.size(), size_t{3});
    QCOMPARE(written["photo/IMG_1.JPEG"], files["Photos/2024/IMG_1.JPEG"]);
  }

  void pageRulesAndFailures() {
    TempDir dir;
    std::map<std::string, std::string> files;
    DeletedFilesImage card = MakeCard(dir, files);
    WriteFile(dir / "noise.img", PseudoRandomBytes(1 << 20, 3));
    BoxAnswerer answerer([](int, const QString&) { return CMessageBox::kOk; });
    CMainWnd window;
    window.show();
    // A source of no use: the engine cannot be created.
    OpenOn(window, dir / "noise.img", "BtnDeletedRecovery");
    Click(window, "BtnScan");
    QTRY_VERIFY(answerer.Texts().join("|").contains("This source cannot be scanned."));

    // From the disk page, Back on the results skips the type page.
    OpenOn(window, card.image, "BtnDeletedRecovery");
    QModelIndex header = window.Disks().ImageHeader();
    Control<QTreeView>(window, "DiskList")->setCurrentIndex(window.Disks().index(1, 0, header));
    Click(window, "BtnScan");
    QCOMPARE(Page(window), int(CMainWnd::kResultPage));
    Click(window, "BtnPrev");
    QCOMPARE(Page(window), int(CMainWnd::kDiskPage));
    // From the type page it goes back there.
    Click(window, "BtnAdvanceScan");
    QCOMPARE(Page(window), int(CMainWnd::kTypePage));
    Click(window, "BtnScan");
    QCOMPARE(Page(window), int(CMainWnd::kResultPage));
    Click(window, "BtnPrev");
    QCOMPARE(Page(window), int(CMainWnd::kTypePage));
    Click(window, "BtnPrev");
    Click(window, "BtnPrev");
    QCOMPARE(Page(window), int(CMainWnd::kModePage));
    QVERIFY(Control(window, "ToolBar3")->isHidden());
  }

  void noSourceSelectedAsksForOne() {
    BoxAnswerer answerer([](int, const QString&) { return CMessageBox::kOk; });
    CMainWnd window;
    window.show();
    Click(window, "BtnDeletedRecovery");
    Control<QTreeView>(window, "DiskList")->setCurrentIndex({});
    Click(window, "BtnScan");
    if (answerer.Texts().isEmpty()) QSKIP("this machine lists a disk that was selected for us");
    QCOMPARE(answerer.Texts().back(), Msg("MSG0505"));
  }

  void sortingFollowsEachColumnsRules() {
    OpenedCard opened;
    CMainWnd& window = opened.window;
    Click(window, "BtnScan");
    auto* tree = Control<QTreeWidget>(window, "TypeTree");
    tree->setCurrentItem(NodeLabelled(tree, "JPG/JPEG (3)"));
    auto* list = Control<QTreeView>(window, "FileList");
    auto header = [&](int column) { emit list->header()->sectionClicked(column); };
    header(0);  // names: ascending first, without regard to case
    QCOMPARE(Column(list, 0), QStringList({"IMG_1.JPEG", "Summer beach.jpg", "Winter hike.jpg"}));
    header(0);
    QCOMPARE(Column(list, 0), QStringList({"Winter hike.jpg", "Summer beach.jpg", "IMG_1.JPEG"}));
    header(2);  // sizes: largest first, as numbers
    QStringList bySize = Column(list, 0);
    header(2);
    QStringList reversed = Column(list, 0);
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(bySize, reversed);
    header(1);  // paths alternate too, ascending first
    QCOMPARE(Column(list, 1).front(), QString("Photos/"));
    header(1);
    QCOMPARE(Column(list, 1).front(), QString("Photos/2024/"));
  }

  void aLanguageSwitchRetextsThePageAndTheInformation() {
    OpenedCard opened;
    CMainWnd& window = opened.window;
    QCOMPARE(Control<QLabel>(window, "Txt1")->text(), Msg("MSG0501"));
    LanguageStore::Instance().SetLanguage("German");
    QCOMPARE(Control<QLabel>(window, "Txt1")->text(),
             QString("Wählen Sie, wo nach verlorenen Dateien gesucht werden soll"));
    QVERIFY(Control<QLabel>(window, "Label1")->text().startsWith("Abbilddatei:"));
    QCOMPARE(Control<QPushButton>(window, "BtnScan")->text(), QString("&Suchen"));
    QCOMPARE(
        Control<QTreeView>(window, "DiskList")->model()->headerData(0, Qt::Horizontal).toString(),
        QString("Datenträger"));
    LanguageStore::Instance().SetLanguage("English");
    QCOMPARE(Control<QPushButton>(window, "BtnScan")->text(), QString("&Scan"));
  }

  void everyControlHasANameForScreenReaders() {
    CMainWnd window;
    window.show();
    for (QWidget* control : window.findChildren<QWidget*>()) {
      bool interactive =
          qobject_cast<QAbstractButton*>(control) || qobject_cast<QAbstractItemView*>(control);
      if (!interactive || control->objectName().isEmpty() ||
          control->objectName().startsWith("qt_"))
        continue;
      QString name = control->accessibleName();
      if (auto* button = qobject_cast<QAbstractButton*>(control)) name += button->text();
      QVERIFY2(!name.isEmpty(), qPrintable(control->objectName()));
      QVERIFY2(control->focusPolicy() != Qt::NoFocus, qPrintable(control->objectName()));
    }
  }

 private:
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(MainWndTest)
#include "MainWndTest.moc"
