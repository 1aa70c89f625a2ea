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
#include "support/PartitionedImage.h"

using namespace salvora;
using namespace salvora::test;

namespace {

constexpr int kRefreshWaitMs = 60000;  // the list waits five seconds after the last event

// A 96 MiB disk image: FAT32 at 1 MiB (36 MiB, enough clusters of one
// sector for mtools to take it as FAT32), a gap, NTFS at 48 MiB (12 MiB),
// and a free tail; gap and tail are longer than a cylinder, so listed.
const PartitionPlan kFatPartition{2048, 73728, "c"};

std::string MakePartitionedDisk(const TempDir& dir) {
  std::string image = dir / "disk.img";
  MakePartitionedImage(image, "dos", 196608, {kFatPartition, {98304, 24576, "7"}});
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

  void aScannedRowWhoseDiskWentIsNeverUsedAgain() {
    TempDir dir;
    std::string blank = dir / "blank.img";
    Run("truncate -s 64M " + Quote(blank));
    std::map<std::string, std::string> files{{"a.txt", std::string(5000, 'a')}};
    DeletedFilesImage card = MakeFatImageWithDeletedFiles(dir, "card.img", files, {"a.txt"});
    CMainWnd window;
    window.show();
    Click(window, "BtnDeletedRecovery");
    BoxAnswerer boxes([](int, const QString&) { return CMessageBox::kOk; });
    {
      // Nothing on the disk can be scanned, so its row keeps no engine.
      LoopDevice loop(blank);
      QVERIFY(loop.ok());
      window.RefillDiskList();
      QModelIndex row = RowOf(window, loop.device());
      QVERIFY(row.isValid());
      window.findChild<QTreeView*>("DiskList")->setCurrentIndex(row);
      window.findChild<QPushButton*>("BtnScan")->click();
      QCOMPARE(boxes.Texts().size(), qsizetype{1});
    }
    // The disk goes: the refresh frees its row. The next scan must not
    // touch it (the sanitizer reports any use).
    window.RefillDiskList();
    window.findChild<QTreeView*>("DiskList")->setCurrentIndex(window.AddImageSource(card.image));
    window.findChild<QPushButton*>("BtnScan")->click();
    QVERIFY2(window.Results().Size() == 1, qPrintable(boxes.Texts().join(" | ")));
  }

  void anImageOfAPartitionIsByteExactAndOfferedForScanning() {
    TempDir dir;
    std::string image = MakePartitionedDisk(dir);
    WriteFile(dir / "kept.bin", PseudoRandomBytes(300000, 21));
    WriteFile(dir / "gone.bin", PseudoRandomBytes(200000, 22));
    FillFat32Partition(image, kFatPartition, {dir / "kept.bin", dir / "gone.bin"}, {"gone.bin"});
    LoopDevice loop(image);
    QVERIFY(loop.ok());
    std::string partition = loop.partition(1);
    std::string mount = dir / "mnt";
    std::filesystem::create_directories(mount);
    // Kernels without vfat cannot mount the partition; then only the
    // refusal of a target on the source goes unchecked.
    bool mounted = Run("mount " + partition + " " + Quote(mount) + " 2>/dev/null") == 0;
    if (!mounted) qInfo("vfat cannot be mounted here: the target-on-source refusal is not checked");

    CMainWnd window;
    window.show();
    window.RefillDiskList();
    Click(window, "BtnCreateImageMode");
    QModelIndex row = RowOf(window, partition);
    QVERIFY(row.isValid());
    window.findChild<QTreeView*>("DiskList")->setCurrentIndex(row);

    // A target on the partition itself is refused; then a good one.
    std::string target = dir / "copy.img";
    QStringList targets{QString::fromStdString(target)};
    QStringList expected{Msg("MSG0214")};
    if (mounted) {
      targets.prepend(QString::fromStdString(mount + "/inside.img"));
      expected.prepend(Msg("MSG0218"));
    }
    FileDialogAnswerer files(targets);
    QStringList asked;
    BoxAnswerer boxes([&](int, const QString& text) -> int {
      asked << text;
      return CMessageBox::kOk;
    });
    Click(window, "BtnCreateImage");
    QCOMPARE(files.Answered(), int(targets.size()));
    QVERIFY2(asked == expected, qPrintable(asked.join(" | ")));
    if (mounted) Run("umount " + Quote(mount));
    QCOMPARE(ReadFile(target),
             ReadFile(image).substr(kFatPartition.start * 512, kFatPartition.sectors * 512));

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
    // The offer to scan follows only where the copy left a file.
    QVERIFY2(!asked.isEmpty() && asked[0] == Msg("MSG0306"), qPrintable(asked.join(" | ")));
    std::error_code missing;
    if (std::filesystem::exists(target, missing))
      QVERIFY(std::filesystem::file_size(target, missing) < (1ull << 30));
  }

 private:
  static void Click(QWidget& window, const char* name) {
    window.findChild<QAbstractButton*>(name)->click();
  }
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(MainWndDevicesTest)
#include "MainWndDevicesTest.moc"
