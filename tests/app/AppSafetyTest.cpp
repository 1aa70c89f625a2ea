// What nothing the user does, and nothing a found file does, may cause: a
// write onto what is being recovered taken by a key pressed by habit, an
// image file overwritten by an image of its own partition, a scan that
// stops at the first odd partition or hides what it could not read, a
// failing file or event that ends the program, or an exit that leaves work
// running. Runs under the program's own application object.
#include <signal.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeView>
#include <QtTest>
#include <filesystem>

#include "app/DiskListModel.h"
#include "app/FileTypeChoice.h"
#include "app/GuardedApplication.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/OrderlyExit.h"
#include "app/RecoverProcessWnd.h"
#include "app/ScanProcessWnd.h"
#include "app/SingleInstance.h"
#include "app/support/AppTestSupport.h"
#include "platform/ErrorCodes.h"
#include "results/TypeGroups.h"
#include "support/MisbehavingEngine.h"
#include "support/PartitionedImage.h"

using namespace salvora;
using namespace salvora::test;

namespace {

// A swap area that no engine scans, then a FAT32 volume with a deleted photo.
const PartitionPlan kSwap{2048, 20480, "82"};
const PartitionPlan kFat{24576, 73728, "c"};

void Click(QWidget& window, const char* name) {
  window.findChild<QAbstractButton*>(name)->click();
}

// A disk image with a swap area first and a FAT32 volume after it, added
// to a window in recovery mode.
struct SwapFirstDisk {
  TempDir dir;
  std::string image = dir / "disk.img";
  CMainWnd window;
  QModelIndex swap;

  SwapFirstDisk() {
    MakePartitionedImage(image, "dos", 131072, {kSwap, kFat});
    WriteFile(dir / "lost.jpg", MakeJpeg(dir, 320, 240, "61"));
    FillFat32Partition(image, kFat, {dir / "lost.jpg"}, {"lost.jpg"});
    window.show();
    Click(window, "BtnDeletedRecovery");
    swap = window.AddImageSource(image);
  }
  void Select(const QModelIndex& row) { window.findChild<QTreeView*>("DiskList")->setCurrentIndex(row); }
};

int Page(QWidget& window) { return window.findChild<QStackedWidget*>("TabPage")->currentIndex(); }


FoundRecord NamedRecord(const char* name, uint16_t tag) {
  FoundRecord record{};
  std::snprintf(record.name, sizeof record.name, "%s", name);
  record.sourceTag = tag;
  return record;
}

// An object whose handling of one event throws.
class Thrower : public QObject {
 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("hostile record");
    return QObject::event(event);
  }
};

}  // namespace

class AppSafetyTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { environment_ = std::make_unique<AppEnvironment>(); }
  void cleanup() { environment_.reset(); }

  void enterInAQuestionWhoseYesWritesTakesTheSafeAnswer() {
    auto pressEnter = [] {
      QTimer::singleShot(50, [] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box);
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
      });
    };
    pressEnter();
    QCOMPARE(CMessageBox::Show(nullptr, CMessageBox::kConfirm, Msg("MSG0805"), 450, 160),
             CMessageBox::kCancel);
    // Questions that write nothing keep OK as the default.
    pressEnter();
    QCOMPARE(CMessageBox::Show(nullptr, CMessageBox::kQuestion, Msg("MSG0214"), 400, 160),
             CMessageBox::kOk);
  }

  void aWholeDiskScansEveryPartitionItCanAndNamesTheOnesSkipped() {
    SwapFirstDisk disk;
    CMainWnd& window = disk.window;
    disk.Select(disk.swap);
    disk.Select(disk.swap.parent());
    BoxAnswerer boxes([](int, const QString&) { return CMessageBox::kOk; });
    Click(window, "BtnScan");
    QVERIFY2(Page(window) == int(CMainWnd::kResultPage), qPrintable(boxes.Texts().join(" | ")));
    QCOMPARE(window.Results().Size(), size_t{1});
    QCOMPARE(boxes.Texts().size(), qsizetype{1});
    QVERIFY2(boxes.Texts()[0].startsWith(Msg("MSG2003")), qPrintable(boxes.Texts()[0]));
  }

  void anImageIsNeverWrittenOverAnImageFileInUse() {
    SwapFirstDisk disk;
    CMainWnd& window = disk.window;
    std::string before = ReadFile(disk.image);
    Click(window, "BtnCreateImageMode");
    disk.Select(disk.swap.sibling(1, 0));
    // The image itself is refused; then the user gives up.
    FileDialogAnswerer files({QString::fromStdString(disk.image), QString()});
    BoxAnswerer boxes([](int, const QString&) { return CMessageBox::kOk; });

    Click(window, "BtnCreateImage");
    QCOMPARE(files.Answered(), 2);
    QCOMPARE(boxes.Texts().size(), qsizetype{1});
    QVERIFY(ReadFile(disk.image) == before);
  }

  void aFailedCopyIsNotOfferedForScanning() {
    SwapFirstDisk disk;
    CMainWnd& window = disk.window;
    Click(window, "BtnCreateImageMode");
    disk.Select(disk.swap.sibling(1, 0));
    // The FAT partition's second half is gone from the image: its copy fails.
    std::filesystem::resize_file(disk.image, (kFat.start + kFat.sectors / 2) * 512);
    FileDialogAnswerer files({QString::fromStdString(disk.dir / "copy.img")});
    BoxAnswerer boxes([](int, const QString&) { return CMessageBox::kOk; });
    Click(window, "BtnCreateImage");
    QCOMPARE(boxes.Texts().size(), qsizetype{1});
    QVERIFY2(boxes.Texts()[0].startsWith(Msg("MSG0217")), qPrintable(boxes.Texts()[0]));
    QCOMPARE(Page(window), int(CMainWnd::kDiskPage));
  }

  void aFileWhoseCopyThrowsFailsAloneAndTheOthersAreCopied() {
    TempDir dir;
    DiskListItem item;
    item.imagePath = dir / "unused.img";
    item.key = 5;
    item.engine = std::make_unique<MisbehavingEngine>();
    std::vector<FoundRecord> records{NamedRecord("first.txt", 5), NamedRecord("throws.bin", 5),
                                     NamedRecord("last.txt", 5)};
    CRecoverProcessWnd recovery({dir / "out", records, {&item}}, nullptr);
    RecoveryFinisher finisher;
    QCOMPARE(recovery.Run(), int(ProgressWnd::kClosedNormally));
    QCOMPARE(recovery.Completed(), uint64_t{3});
    QCOMPARE(recovery.Failed(), uint64_t{1});
    std::map<std::string, std::string> written = FilesUnder(dir / "out");
    QCOMPARE(written.size(), size_t{2});
  }

  void anEventThatThrowsIsReportedAndTheProgramGoesOn() {
    auto* app = qobject_cast<GuardedApplication*>(QCoreApplication::instance());
    QVERIFY(app);
    int before = app->FailedEvents();
    BoxAnswerer boxes([](int, const QString&) { return CMessageBox::kOk; });
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QTRY_COMPARE(boxes.Texts().size(), qsizetype{1});
    QCOMPARE(app->FailedEvents(), before + 1);
    QVERIFY(boxes.Texts()[0].contains("hostile record"));
  }

  void enterOnADiskRowAsksBeforeTheFoundFilesGo() {
    TempDir dir;
    std::map<std::string, std::string> files{{"a.txt", std::string(5000, 'a')}};
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "card.img", files, {"a.txt"});
    CMainWnd window;
    OpenOn(window, card.image, "BtnDeletedRecovery");
    Click(window, "BtnScan");
    QCOMPARE(window.Results().Size(), size_t{1});
    Click(window, "TabScan");
    auto* disks = window.findChild<QTreeView*>("DiskList");
    BoxAnswerer no([](int, const QString&) { return CMessageBox::kCancel; });
    QTest::keyClick(disks, Qt::Key_Return);
    QCOMPARE(no.Texts(), QStringList{Msg("MSG2001")});
    QCOMPARE(Page(window), int(CMainWnd::kDiskPage));
    QCOMPARE(window.Results().Size(), size_t{1});
  }

  void aSingleClickOnADiskRowSelectsWithoutScanning() {
    TempDir dir;
    std::map<std::string, std::string> files{{"a.txt", std::string(5000, 'a')}};
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "card.img", files, {"a.txt"});
    CMainWnd window;
    OpenOn(window, card.image, "BtnDeletedRecovery");
    auto* disks = window.findChild<QTreeView*>("DiskList");
    disks->setCurrentIndex(QModelIndex());
    QModelIndex row = window.Disks().index(0, 0, window.Disks().ImageHeader());
    // Desktops set to open items with one click make Qt activate on a click.
    QApplication::setStyle(new SingleClickStyle);
    QTest::mouseClick(disks->viewport(), Qt::LeftButton, {}, disks->visualRect(row).center());
    QCOMPARE(Page(window), int(CMainWnd::kDiskPage));
    QCOMPARE(window.Results().Size(), size_t{0});
    QApplication::setStyle(QStringLiteral("Fusion"));
  }

  void everyTypeTheEnginesKnowCanBeChosen() {
    CMainWnd window;
    FileTypeChoice* choice = window.findChild<FileTypeChoice*>();
    QVERIFY(choice);
    QStringList missing;
    for (const QString& pattern : QString::fromStdString(KnownExtensions()).split('|')) {
      std::string extension = pattern.mid(2).toStdString();  // "*.jpg"
      if (!choice->OptionFor(extension)) missing << pattern;
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(' ')));
  }

  void anImageHandedOverWaitsForTheModeAndStaysSelected() {
    TempDir dir;
    std::map<std::string, std::string> files{{"a.txt", std::string(5000, 'a')}};
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "card.img", files, {"a.txt"});
    CMainWnd window;
    window.show();
    Click(window, "BtnDeepRecovery");  // a mode chosen earlier
    window.TakeArguments({QString::fromStdString(card.image)});
    QCOMPARE(Page(window), int(CMainWnd::kModePage));
    Click(window, "BtnDeletedRecovery");
    QCOMPARE(window.ScanMode(), 0);
    DiskListItem* chosen =
        window.Disks().ItemAt(window.findChild<QTreeView*>("DiskList")->currentIndex());
    QVERIFY(chosen && chosen->imagePath == card.image);
  }

  void theWindowKeepsRunningWhileDisksAndImagesAreRead() {
    TempDir dir;
    std::map<std::string, std::string> files{{"a.txt", std::string(5000, 'a')}};
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "card.img", files, {"a.txt"});
    CMainWnd window;
    window.show();
    // A dying disk can take minutes to answer; meanwhile the window's
    // loop must go on (drawing, following devices). An event posted before
    // the reading is served only by a loop running while it waits, however
    // fast this reading happens to be.
    int turns = 0;
    auto postTurn = [&] { QMetaObject::invokeMethod(this, [&] { ++turns; }, Qt::QueuedConnection); };
    postTurn();
    window.RefillDiskList();
    QCOMPARE(turns, 1);
    postTurn();
    QVERIFY(window.AddImageSource(card.image).isValid());
    QCOMPARE(turns, 2);
  }

  void theSingleInstanceSocketIsInTheUsersRuntimeFolder() {
    TempDir runtime;
    std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all);
    QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    QString name = SingleInstance::DefaultName();
    qputenv("XDG_RUNTIME_DIR", previous);
    QVERIFY2(name.startsWith(QString::fromStdString(runtime.path()) + "/"), qPrintable(name));
  }

  // Last: it ends the event loop the way the program ends.
  void aTerminationSignalCancelsTheRunningScanAndQuits() {
    TempDir dir;
    std::string image = dir / "big.img";
    WriteFile(image, PseudoRandomBytes(1 << 20, 3));
    std::filesystem::resize_file(image, 2ull << 30);
    CMainWnd window;
    window.Exit().WatchSignals();
    OpenOn(window, image, "BtnDeepRecovery");
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      if (!qobject_cast<CScanProcessWnd*>(QApplication::activeModalWidget())) return;
      poll.stop();
      kill(getpid(), SIGTERM);
    });
    poll.start(20);
    QTimer::singleShot(0, [&] { Click(window, "BtnScan"); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(window.Exit().Begun());
    QVERIFY(window.findChildren<ProgressWnd*>().isEmpty());
  }

 private:
  class SingleClickStyle : public QProxyStyle {
   public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override {
      if (hint == SH_ItemView_ActivateItemOnSingleClick) return 1;
      return QProxyStyle::styleHint(hint, option, widget, answer);
    }
  };

  std::unique_ptr<AppEnvironment> environment_;
};

int main(int argc, char** argv) {
  GuardedApplication app(argc, argv);
  AppSafetyTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}

#include "AppSafetyTest.moc"
