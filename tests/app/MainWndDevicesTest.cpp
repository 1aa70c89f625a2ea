// The main window with real block devices (root and loop devices): disks
// coming and going in the disk list, and images made from the window.
#include <QAbstractItemModel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeView>
#include <QtTest>
#include <filesystem>

#include "app/DiskListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/support/AppTestSupport.h"

using namespace salvora;
using namespace salvora::test;

namespace {

constexpr int kRefreshWaitMs = 30000;  // the list waits five seconds after the last event

// A 64 MiB disk image: FAT32 at 1 MiB (16 MiB), a gap, NTFS at 40 MiB
// (12 MiB), and a free tail.
std::string MakePartitionedDisk(const TempDir& dir) {
  std::string image = dir / "disk.img";
  Run("truncate -s 64M " + Quote(image));
  Run("printf 'label: dos\\nstart=2048, size=32768, type=c\\nstart=81920, size=24576, type=7\\n' | "
      "sfdisk -q " + Quote(image));
  return image;
}

// The rows of the list that stand on `device` (its partitions included).
QStringList RowsOf(CMainWnd& window, const std::string& device) {
  DiskListModel& disks = window.Disks();
  QStringList rows;
  for (int g = 0; g < disks.rowCount(); ++g) {
    QModelIndex header = disks.index(g, 0);
    for (int r = 0; r < disks.rowCount(header); ++r) {
      QModelIndex row = disks.index(r, 0, header);
      DiskListItem* item = disks.ItemAt(row);
      if (!item || !item->record || item->record->diskPath != device) continue;
      rows << disks.index(r, DiskListModel::kName, header).data().toString() + " | " +
                  disks.index(r, DiskListModel::kType, header).data().toString();
    }
  }
  return rows;
}

QModelIndex RowOf(CMainWnd& window, const std::string& devicePath) {
  DiskListModel& disks = window.Disks();
  for (int g = 0; g < disks.rowCount(); ++g) {
    QModelIndex header = disks.index(g, 0);
    for (int r = 0; r < disks.rowCount(header); ++r) {
      DiskListItem* item = disks.ItemAt(disks.index(r, 0, header));
      if (item && item->record && item->record->devicePath == devicePath)
        return disks.index(r, 0, header);
    }
  }
  return {};
}

}  // namespace

class MainWndDevicesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    if (!CanUseLoopDevices()) QSKIP("needs root and loop devices");
    environment_ = std::make_unique<AppEnvironment>();
  }
  void cleanup() { environment_.reset(); }

  void aPartitionedDiskComesAndGoes() {
    TempDir dir;
    std::string image = MakePartitionedDisk(dir);
    CMainWnd window;
    window.show();
    std::string device;
    {
      LoopDevice loop(image);
      QVERIFY(loop.ok());
      device = loop.device();
      Run("mkfs.fat -F 32 -n PHOTOS " + loop.partition(1) + " >/dev/null");
      Run("mkntfs -Q -q -F " + loop.partition(2));
      QTRY_VERIFY_WITH_TIMEOUT(RowsOf(window, device).size() == 4, kRefreshWaitMs);
      QStringList rows = RowsOf(window, device);
      QVERIFY2(rows[0].contains("PHOTOS") && rows[0].endsWith("| FAT32"), qPrintable(rows[0]));
      QVERIFY2(rows[1].contains(": ") && rows[1].endsWith("| "), qPrintable(rows[1]));  // the gap
      QVERIFY2(rows[2].endsWith("| NTFS"), qPrintable(rows[2]));
      QVERIFY2(rows[3].endsWith("| "), qPrintable(rows[3]));  // the free tail
    }
    QTRY_VERIFY_WITH_TIMEOUT(RowsOf(window, device).isEmpty(), kRefreshWaitMs);
  }

  void anImageOfAPartitionIsByteExactAndOfferedForScanning() {
    TempDir dir;
    std::string image = MakePartitionedDisk(dir);
    LoopDevice loop(image);
    QVERIFY(loop.ok());
    std::string partition = loop.partition(1);
    Run("mkfs.fat -F 32 -n SOURCE " + partition + " >/dev/null");
    std::string mount = dir / "mnt";
    std::filesystem::create_directories(mount);
    QCOMPARE(Run("mount " + partition + " " + Quote(mount)), 0);
    WriteFile(mount + "/kept.bin", PseudoRandomBytes(300000, 21));
    WriteFile(mount + "/gone.bin", PseudoRandomBytes(200000, 22));
    Run("sync && rm " + Quote(mount + "/gone.bin") + " && sync");

    CMainWnd window;
    window.show();
    window.RefillDiskList();
    Click(window, "BtnCreateImageMode");
    QModelIndex row = RowOf(window, partition);
    QVERIFY(row.isValid());
    window.findChild<QTreeView*>("DiskList")->setCurrentIndex(row);

    // A target on the partition itself is refused; then a good one.
    std::string target = dir / "copy.img";
    FileDialogAnswerer files({QString::fromStdString(mount + "/inside.img"),
                              QString::fromStdString(target)});
    QStringList asked;
    BoxAnswerer boxes([&](int, const QString& text) -> int {
      asked << text;
      return CMessageBox::kOk;
    });
    Click(window, "BtnCreateImage");
    QCOMPARE(files.Answered(), 2);
    QVERIFY2(asked.size() == 2, qPrintable(asked.join(" | ")));
    QCOMPARE(asked[0], Msg("MSG0218"));
    QCOMPARE(asked[1], Msg("MSG0214"));
    Run("umount " + Quote(mount));
    QCOMPARE(ReadFile(target), ReadFile(image).substr(2048 * 512, 32768 * 512));

    // Yes to the offer: the deep recovery of the new image, from the type page.
    QCOMPARE(window.findChild<QStackedWidget*>("TabPage")->currentIndex(),
             int(CMainWnd::kTypePage));
    QCOMPARE(window.ScanMode(), 1);
    window.findChild<QPushButton*>("BtnScan")->click();
    QCOMPARE(window.findChild<QStackedWidget*>("TabPage")->currentIndex(),
             int(CMainWnd::kResultPage));
    QVERIFY(window.Results().Size() >= 1);
  }

  void cancellingAnImageAsksAndStops() {
    TempDir dir;
    std::string image = dir / "big.img";
    Run("truncate -s 1G " + Quote(image));
    LoopDevice loop(image);
    QVERIFY(loop.ok());
    CMainWnd window;
    window.show();
    window.RefillDiskList();
    Click(window, "BtnCreateImageMode");
    QModelIndex row = RowOf(window, loop.device());
    QVERIFY(row.isValid());
    window.findChild<QTreeView*>("DiskList")->setCurrentIndex(row);
    std::string target = dir / "partial.img";
    FileDialogAnswerer files({QString::fromStdString(target)});
    QStringList asked;
    BoxAnswerer boxes([&](int, const QString& text) -> int {
      asked << text;
      return text == Msg("MSG0306") ? CMessageBox::kOk : CMessageBox::kCancel;
    });
    // Ask to cancel as soon as the copy window shows.
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* cancel = modal ? modal->findChild<QPushButton*>("cancelbtn") : nullptr) {
        if (modal->objectName().isEmpty() && !qobject_cast<CMessageBox*>(modal)) cancel->click();
      }
    });
    poll.start(10);
    Click(window, "BtnCreateImage");
    QVERIFY2(asked.size() == 2, qPrintable(asked.join(" | ")));
    QCOMPARE(asked[0], Msg("MSG0306"));
    QCOMPARE(asked[1], Msg("MSG0214"));
    QVERIFY(std::filesystem::file_size(target) < (1ull << 30));
  }

 private:
  static void Click(QWidget& window, const char* name) {
    window.findChild<QAbstractButton*>(name)->click();
  }
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(MainWndDevicesTest)
#include "MainWndDevicesTest.moc"
