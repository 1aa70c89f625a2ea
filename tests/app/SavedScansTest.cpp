// The saved deep scans as the app shows them: listed with their source and
// progress, forgotten only on a yes and only through the index, and found
// again in the disk list when one is resumed.
#include <QPushButton>
#include <QTreeView>
#include <QtTest>
#include <filesystem>

#include "app/DiskListModel.h"
#include "app/MainWnd.h"
#include "app/MessageBox.h"
#include "app/SavedScanModel.h"
#include "app/SavedScansWnd.h"
#include "app/support/AppTestSupport.h"
#include "deep/CompositeHistory.h"
#include "platform/DataFolders.h"

using namespace salvora;
using namespace salvora::test;
namespace fs = std::filesystem;

namespace {

// Saves a deep scan of `image` that walked a quarter of its 4000 sectors,
// with a run folder as a scan leaves one; returns the folder.
std::string SaveQuarterScan(const std::string& image) {
  std::string folder = ScanHistory::Instance().NewRunFolder();
  fs::create_directories(folder);
  WriteFile(folder + "/store", "found so far");
  ScanIdentity identity{kImageDiskNumber, 0, 4000, NormalImagePath(image)};
  ScanPosition position{0, 4000, 1000 * 512, 1000, 7};
  if (SaveScanPosition(identity, position, 0, folder) != 0) return {};
  return folder;
}

bool IndexNames(const std::string& folder) {
  ScanHistory::Instance().Load();
  for (const ScanHistoryEntry& entry : ScanHistory::Instance().Entries())
    if (fs::path(EntryResultFolder(entry)) == fs::path(folder)) return true;
  return false;
}

}  // namespace

class SavedScansTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    environment_ = std::make_unique<AppEnvironment>();
    UseScanLogFolder({});
    fs::create_directories(ScanLogFolder());
  }
  void cleanup() { environment_.reset(); }

  void listsASavedScanAndForgetsItOnlyOnYes() {
    TempDir dir;
    std::string image = dir / "card.img";
    WriteFile(image, std::string(4000 * 512, '\0'));
    std::string folder = SaveQuarterScan(image);
    QVERIFY(!folder.empty());

    CSavedScansWnd window(nullptr);
    window.show();
    SavedScanModel& scans = window.Scans();
    QCOMPARE(scans.rowCount(), 1);
    QCOMPARE(scans.index(0, SavedScanModel::kSource).data().toString(),
             QString::fromStdString(NormalImagePath(image)));
    QCOMPARE(scans.index(0, SavedScanModel::kProgress).data().toString(),
             QString("25% scanned, 7 files found"));
    QVERIFY(!scans.index(0, SavedScanModel::kDate).data().toString().isEmpty());
    QCOMPARE(window.SelectedRow(), 0);

    auto* forget = window.findChild<QPushButton*>("BtnForget");
    {
      BoxAnswerer no([](int, const QString&) { return CMessageBox::kCancel; });
      forget->click();
      QCOMPARE(no.Texts().size(), 1);
      QVERIFY(no.Texts()[0].contains(QString::fromStdString(NormalImagePath(image))));
    }
    QVERIFY(IndexNames(folder));
    QVERIFY(fs::exists(folder + "/store"));
    {
      BoxAnswerer yes([](int kind, const QString&) {
        return kind == CMessageBox::kConfirm ? CMessageBox::kOk : CMessageBox::kCancel;
      });
      forget->click();
      QCOMPARE(yes.Texts().size(), 1);
    }
    QCOMPARE(scans.rowCount(), 0);
    QVERIFY(!IndexNames(folder));
    QVERIFY(!fs::exists(folder));
    QVERIFY(!forget->isEnabled());
  }

  // The index is a file anyone may have edited: a folder it names outside
  // the scan-log folder loses its entry but is never deleted.
  void forgettingLeavesAFolderOutsideTheScanLogAlone() {
    TempDir dir;
    std::string image = dir / "card.img";
    WriteFile(image, std::string(512, '\0'));
    std::string precious = dir / "photos";
    fs::create_directories(precious);
    WriteFile(precious + "/holiday.jpg", "keep me");
    ScanIdentity identity{kImageDiskNumber, 0, 1, NormalImagePath(image)};
    QCOMPARE(SaveScanPosition(identity, {}, 0, precious), 0);
    for (std::string inside : {"/../photos", "/.."}) {
      std::string sneaky = ScanLogFolder().string() + inside;
      ScanHistory::Instance().RemoveEntryWithFolder(sneaky);
    }
    QVERIFY(fs::exists(ScanLogFolder()));

    CSavedScansWnd window(nullptr);
    QCOMPARE(window.Scans().rowCount(), 1);
    BoxAnswerer yes([](int, const QString&) { return CMessageBox::kOk; });
    window.findChild<QPushButton*>("BtnForget")->click();
    QCOMPARE(window.Scans().rowCount(), 0);
    QVERIFY(!IndexNames(precious));
    QCOMPARE(ReadFile(precious + "/holiday.jpg"), std::string("keep me"));
  }

  void resumingFindsTheSourceAndAddsAMissingImageOnce() {
    TempDir dir;
    std::string image = dir / "card.img";
    WriteFile(image, std::string(4000 * 512, '\0'));
    QVERIFY(!SaveQuarterScan(image).empty());
    ScanHistory::Instance().Load();
    ScanHistoryEntry entry = ScanHistory::Instance().Entries().at(0);

    CMainWnd main;
    QModelIndex row = SourceRowOf(main, entry);
    QVERIFY(row.isValid());
    QCOMPARE(NormalImagePath(main.Disks().ItemAt(row)->imagePath), NormalImagePath(image));
    int rowsWithImage = main.Disks().rowCount(row.parent());
    QCOMPARE(SourceRowOf(main, entry), row);
    QCOMPARE(main.Disks().rowCount(row.parent()), rowsWithImage);

    // A volume of a disk that is not attached is not there to resume.
    ScanHistoryEntry volume{};
    volume.key1 = 77;
    volume.key2 = 2048;
    volume.key4 = 4096;
    QVERIFY(!SourceRowOf(main, volume).isValid());
    QCOMPARE(SavedScanSource(volume), QString("Disk 77, from sector 2048, 4096 sectors"));

    // An image file that is gone is not added.
    ScanHistoryEntry gone = entry;
    QVERIFY(SetEntryText(gone.imagePath, NormalImagePath(dir / "gone.img")));
    QVERIFY(!SourceRowOf(main, gone).isValid());
    QCOMPARE(main.Disks().rowCount(row.parent()), rowsWithImage);
  }

 private:
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(SavedScansTest)
#include "SavedScansTest.moc"
