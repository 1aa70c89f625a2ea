// The scan-data folder on the very disk the window scans: the scan keeps
// its data in memory, or asks for a folder on another disk, and writes
// nothing onto that disk either way.
#include <sys/stat.h>

#include <QAbstractButton>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <map>

#include "app/DiskListModel.h"
#include "app/LanguageStore.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/support/AppTestSupport.h"
#include "support/PartitionedImage.h"

using namespace salvora;
using namespace salvora::test;

namespace {

std::map<std::string, std::string> Listing(const std::string& root) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    struct stat st {};
    ::lstat(entry.path().c_str(), &st);
    entries[entry.path().string()] =
        std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_nsec);
  }
  return entries;
}

// Sets an environment variable for the life of the object.
class EnvSetting {
 public:
  EnvSetting(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) had_ = true, old_ = old;
    Set(value);
  }
  ~EnvSetting() { had_ ? Set(old_) : Set({}); }
  void Set(const std::string& value) {
    value.empty() ? ::unsetenv(name_) : ::setenv(name_, value.c_str(), 1);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

QModelIndex PartitionRow(DiskListModel& disks, const std::string& node) {
  for (int g = 0; g < disks.rowCount(); ++g) {
    QModelIndex header = disks.index(g, 0);
    for (int r = 0; r < disks.rowCount(header); ++r) {
      const DiskListItem* item = disks.ItemAt(disks.index(r, 0, header));
      if (item && item->SourcePath() == node) return disks.index(r, 0, header);
    }
  }
  return {};
}

// One disk: an ext4 volume, mounted, and a FAT32 volume with two deleted
// files.
struct HomeDisk {
  TempDir dir;
  std::string image = dir / "disk.img", mount = dir / "mnt";
  LoopDevice loop{Prepared(image, dir)};
  bool mounted = loop.ok() && Run("mkfs.ext4 -q " + Quote(loop.partition(1))) == 0 &&
                 std::filesystem::create_directories(mount) &&
                 Run("mount -t ext4 " + Quote(loop.partition(1)) + " " + Quote(mount)) == 0;
  ~HomeDisk() {
    if (mounted) Run("umount " + Quote(mount));
  }
  static const std::string& Prepared(const std::string& image, const TempDir& dir) {
    PartitionPlan home{2048, 32768, "83"}, fat{34816, 139264, "c"};
    MakePartitionedImage(image, "dos", 176128, {home, fat});
    WriteFile(dir / "A.TXT", std::string(5000, 'a'));
    WriteFile(dir / "B.BIN", PseudoRandomBytes(7000, 3));
    FillFat32Partition(image, fat, {dir / "A.TXT", dir / "B.BIN"}, {"A.TXT", "B.BIN"});
    return image;
  }
};

}  // namespace

class ScanPlacementTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { environment_ = std::make_unique<AppEnvironment>(); }
  void cleanup() { environment_.reset(); }

  void aScanOfTheDiskHoldingTheDataFolderKeepsItsDataOffThatDisk() {
    if (!CanUseLoopDevices() || !HaveCommand("mkfs.ext4") || !HaveCommand("mkfs.fat"))
      QSKIP("needs root, /dev/loop-control, mkfs.ext4 and mkfs.fat");
    HomeDisk disk;
    QVERIFY(disk.loop.ok());
    QVERIFY(disk.mounted);
    std::string mount = disk.mount;
    TempDir& dir = disk.dir;
    TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    std::filesystem::create_directories(mount + "/chosen");
    std::filesystem::create_directories(dir / "elsewhere");
    LoopDevice& loop = disk.loop;
    EnvSetting data("SALVORA_DATA_DIR", mount + "/data");
    EnvSetting runtimeDir("XDG_RUNTIME_DIR", runtime.path());
    std::map<std::string, std::string> before = Listing(mount);
    {
      CMainWnd window;
      window.show();
      window.RefillDiskList();
      window.findChild<QAbstractButton*>("BtnDeletedRecovery")->click();
      QModelIndex row = PartitionRow(window.Disks(), loop.partition(2));
      QVERIFY(row.isValid());
      window.findChild<QTreeView*>("DiskList")->setCurrentIndex(row);
      QStringList asked;
      BoxAnswerer boxes([&](int, const QString& text) {
        asked << text;
        return CMessageBox::kOk;
      });
      window.findChild<QAbstractButton*>("BtnScan")->click();
      QCOMPARE(window.Results().Size(), size_t{2});
      QVERIFY(std::filesystem::exists(runtime / "salvora/ScanLog"));
      QVERIFY2(asked.isEmpty(), qPrintable(asked.join(" | ")));

      // No memory folder now: a folder on the scanned disk is refused, one
      // on another disk is used.
      runtimeDir.Set({});
      FileDialogAnswerer folders(
          {QString::fromStdString(mount + "/chosen"), QString::fromStdString(dir / "elsewhere")});
      window.findChild<QAbstractButton*>("BtnScan")->click();
      QCOMPARE(folders.Answered(), 2);
      QCOMPARE(asked.size(), qsizetype{2});
      QVERIFY2(asked[0].contains(QString::fromStdString(mount + "/data")), qPrintable(asked[0]));
      QVERIFY2(asked[1].startsWith(QString::fromStdString(mount + "/chosen")),
               qPrintable(asked[1]));
      QCOMPARE(window.Results().Size(), size_t{2});
      // The folder named is used again without asking.
      window.findChild<QAbstractButton*>("BtnScan")->click();
      QCOMPARE(folders.Answered(), 2);
      QCOMPARE(asked.size(), qsizetype{2});
      QCOMPARE(window.Results().Size(), size_t{2});
    }
    QVERIFY(Listing(mount) == before);
  }

  void aMountedSourceIsOfferedForImagingFirst() {
    if (!CanUseLoopDevices() || !HaveCommand("mkfs.ext4") || !HaveCommand("mkfs.fat"))
      QSKIP("needs root, /dev/loop-control, mkfs.ext4 and mkfs.fat");
    HomeDisk disk;
    QVERIFY(disk.mounted);
    CMainWnd window;
    window.show();
    window.RefillDiskList();
    window.findChild<QAbstractButton*>("BtnDeletedRecovery")->click();
    QModelIndex row = PartitionRow(window.Disks(), disk.loop.partition(1));
    QVERIFY(row.isValid());
    auto* list = window.findChild<QTreeView*>("DiskList");
    list->setCurrentIndex(row);
    QStringList asked;
    BoxAnswerer boxes([&](int, const QString& text) {
      asked << text;
      return CMessageBox::kOk;
    });
    window.findChild<QAbstractButton*>("BtnScan")->click();
    QCOMPARE(asked.size(), qsizetype{1});
    QVERIFY2(asked[0].contains(QString::fromStdString(disk.mount)), qPrintable(asked[0]));
    QVERIFY(window.findChild<QAbstractButton*>("BtnCreateImage")->isVisibleTo(&window));
    QCOMPARE(list->currentIndex().siblingAtColumn(0), row);
    QCOMPARE(window.Results().Size(), size_t{0});
  }

 private:
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(ScanPlacementTest)
#include "ScanPlacementTest.moc"
