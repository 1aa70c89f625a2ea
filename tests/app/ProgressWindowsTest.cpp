// The scan, collection and recovery windows driven with the real engines on
// volumes made by the real tools, the cancel question answered both ways.
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>
#include <filesystem>
#include <set>

#include "app/MessageBox.h"
#include "app/RecoverProcessWnd.h"
#include "app/ScanProcessWnd.h"
#include "app/SearchProcessWnd.h"
#include "app/support/AppTestSupport.h"
#include "platform/ErrorCodes.h"
#include "platform/MemoryFile.h"
#include "results/TypeGroups.h"
#include "storage/StoreEngine.h"
#include "support/ReadFaults.h"

using namespace salvora;
using namespace salvora::test;

namespace {

const std::string kEveryType = KnownExtensions() + "|.other";

DiskListItem ImageItem(const std::string& path, uint16_t key) {
  DiskListItem item;
  item.imagePath = path;
  item.key = key;
  return item;
}

int Scan(std::vector<DiskListItem*> items, int mode) {
  CScanProcessWnd window(std::move(items), mode, nullptr);
  return window.Run();
}

std::vector<FoundRecord> Collect(std::vector<DiskListItem*> items) {
  RecordArena results;
  CSearchProcessWnd window(std::move(items), kEveryType, results, nullptr);
  window.Run();
  return WholeRecords(results);
}

// A scan job's figures as the window receives them.
JobProgress Figures(int32_t percent, int32_t secondsLeft, uint64_t sectorsDone,
                    uint64_t sectorsTotal, uint64_t filesFound) {
  JobProgress progress;
  progress.percent = percent;
  progress.secondsLeft = secondsLeft;
  progress.sectorsDone = sectorsDone;
  progress.sectorsTotal = sectorsTotal;
  progress.filesFound = filesFound;
  return progress;
}

std::multiset<std::string> Names(const std::vector<FoundRecord>& records) {
  std::multiset<std::string> names;
  for (const FoundRecord& record : records) names.insert(record.name);
  return names;
}

std::multiset<std::string> Contents(const std::map<std::string, std::string>& files) {
  std::multiset<std::string> contents;
  for (const auto& [path, bytes] : files) contents.insert(bytes);
  return contents;
}

// Clicks `button` of `window` as soon as the window's event loop runs.
void ClickSoon(QWidget& window, const char* button) {
  QTimer::singleShot(0, &window,
                     [&window, button] { window.findChild<QPushButton*>(button)->click(); });
}

// Clicks the recovery window's Finish button once it shows.
void FinishWhenDone(CRecoverProcessWnd& window) {
  auto* poll = new QTimer(&window);
  QObject::connect(poll, &QTimer::timeout, &window, [&window] {
    auto* finish = window.findChild<QPushButton*>("FinishBtn");
    if (finish->isVisible()) finish->click();
  });
  poll->start(20);
}

}  // namespace

class ProgressWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { environment_ = std::make_unique<AppEnvironment>(); }
  void cleanup() { environment_.reset(); }

  void aQuickScanFindsTheDeletedFilesAndRecoversThemIntoGroupFolders() {
    TempDir dir;
    DeletedFilesImage card = MakeSampleCard(dir);
    DiskListItem item = ImageItem(card.image, 1);
    CScanProcessWnd scan({&item}, CScanProcessWnd::kQuickScan, nullptr);
    QCOMPARE(scan.Run(), 1);
    QCOMPARE(scan.findChild<QProgressBar*>("progress")->value(), 100);
    QVERIFY(scan.findChild<QLabel*>("percent")->text().endsWith("100%"));
    QCOMPARE(scan.RunFolders().size(), size_t{1});
    QVERIFY(item.engine);

    std::vector<FoundRecord> results = Collect({&item});
    QCOMPARE(Names(results), (std::multiset<std::string>{"Holiday photo.jpg", "Holiday photo.jpg",
                                                         "Beach sunset.jpg", "Meeting notes.txt",
                                                         "Theme song.rm"}));

    // A picture from an earlier recovery is never written over.
    std::string destination = dir / "out";
    std::filesystem::create_directories(destination + "/photo");
    WriteFile(destination + "/photo/Holiday photo.jpg", "earlier");
    CRecoverProcessWnd recovery({destination, results, {&item}}, nullptr);
    FinishWhenDone(recovery);
    QCOMPARE(recovery.Run(), 1);
    QCOMPARE(recovery.Completed(), uint64_t{5});
    QCOMPARE(recovery.Failed(), uint64_t{0});

    std::map<std::string, std::string> written = FilesUnder(destination);
    QCOMPARE(written["photo/Holiday photo.jpg"], std::string("earlier"));
    QVERIFY(written.count("photo/Holiday photo(1).jpg"));
    QVERIFY(written.count("photo/Holiday photo(2).jpg"));
    QVERIFY(written.count("photo/Beach sunset.jpg"));
    QVERIFY(written.count("audio/Theme song.rm"));  // .rm is audio before video
    QVERIFY(written.count("document/Meeting notes.txt"));
    written.erase("photo/Holiday photo.jpg");
    QCOMPARE(Contents(written), Contents(card.deleted));
    QCOMPARE(recovery.findChild<QTreeView*>("DetailList")->model()->rowCount(), 5);
  }

  void anUnreadableFileGetsARedRowAndTheRestIsRecovered() {
    TempDir dir;
    DeletedFilesImage card = MakeSampleCard(dir);
    DiskListItem item = ImageItem(card.image, 7);
    QCOMPARE(Scan({&item}, CScanProcessWnd::kQuickScan), 1);
    std::vector<FoundRecord> deleted = Collect({&item});
    QCOMPARE(deleted.size(), size_t{5});

    // The disk now fails on the first sector of one picture.
    const FoundRecord* bad = nullptr;
    for (const FoundRecord& record : deleted)
      if (std::string(record.name) == "Beach sunset.jpg") bad = &record;
    QVERIFY(bad);
    uint64_t badSector = bad->volumeFirstSector + bad->dataAreaSector +
                         uint64_t{bad->firstCluster - 2} * bad->clusterBytes / 512;
    auto failing = std::make_unique<MemoryFile>(ReadFile(card.image));
    failing->FailSector(badSector);
    auto& engine = dynamic_cast<StoreEngine&>(*item.engine);
    uint64_t sectors = engine.Source().SectorCount();
    engine.Source().Attach(std::move(failing), sectors);

    std::string destination = dir / "out";
    CRecoverProcessWnd recovery({destination, deleted, {&item}}, nullptr);
    FinishWhenDone(recovery);
    QCOMPARE(recovery.Run(), 1);
    QCOMPARE(recovery.Completed(), uint64_t{5});
    QCOMPARE(recovery.Failed(), uint64_t{1});
    QAbstractItemModel* rows = recovery.findChild<QTreeView*>("DetailList")->model();
    QCOMPARE(rows->rowCount(), 5);
    QVERIFY(rows->data(rows->index(0, 0)).toString().endsWith("Beach sunset.jpg"));
    QCOMPARE(rows->data(rows->index(0, 1)).toString(),
             QString::fromStdString(ErrorMessage(kReadFault)));
    // The failure is marked by a sign, whatever the theme's colours.
    QVERIFY(!rows->data(rows->index(0, 0), Qt::DecorationRole).value<QIcon>().isNull());
    QVERIFY(rows->data(rows->index(1, 0), Qt::DecorationRole).isNull());
    QVERIFY(!rows->data(rows->index(0, 0), Qt::ForegroundRole).isValid());
    QCOMPARE(rows->data(rows->index(1, 1)).toString(), QString("Success"));
    std::map<std::string, std::string> written = FilesUnder(destination);
    QCOMPARE(written["document/Meeting notes.txt"], card.deleted["Docs/Meeting notes.txt"]);
    QCOMPARE(written["audio/Theme song.rm"], card.deleted["Music/Theme song.rm"]);
  }

  void cancelAnsweredNoGoesOnAndLosesNothing() {
    TempDir dir;
    DeletedFilesImage card = MakeSampleCard(dir);
    DiskListItem whole = ImageItem(card.image, 1);
    QCOMPARE(Scan({&whole}, CScanProcessWnd::kDeepScan), 1);
    std::multiset<std::string> uninterrupted = Names(Collect({&whole}));

    // A copy, so that the finished scan of the original is not offered for resuming.
    std::filesystem::copy_file(card.image, dir / "copy.img");
    DiskListItem paused = ImageItem(dir / "copy.img", 2);
    CScanProcessWnd scan({&paused}, CScanProcessWnd::kDeepScan, nullptr);
    // The engine waits in its callback while the question is open.
    BoxAnswerer answerer(
        [](int kind, const QString&) {
          return kind == CMessageBox::kQuestion ? CMessageBox::kCancel : CMessageBox::kOk;
        },
        300);
    ClickSoon(scan, "cancelbtn");
    QCOMPARE(scan.Run(), 1);
    QCOMPARE(answerer.Texts().size(), 1);
    QCOMPARE(scan.LastScanResult(), kOk);
    QCOMPARE(Names(Collect({&paused})), uninterrupted);
  }

  void cancelAnsweredYesStopsKeepsWhatWasFoundAndSkipsLaterSources() {
    TempDir dir;
    DeletedFilesImage first = MakeSampleCard(dir, "first.img");
    DiskListItem one = ImageItem(first.image, 1);
    DiskListItem two = ImageItem(first.image, 2);
    CScanProcessWnd scan({&one, &two}, CScanProcessWnd::kDeepScan, nullptr);
    BoxAnswerer answerer([](int, const QString&) { return CMessageBox::kOk; });
    ClickSoon(scan, "cancelbtn");
    QCOMPARE(scan.Run(), 1);
    QCOMPARE(scan.LastScanResult(), kCancelled);
    QVERIFY(one.engine);
    QVERIFY(!two.engine);
    // What the quick pass found before the cancel is still listed.
    std::vector<FoundRecord> kept = Collect({&one});
    QVERIFY(Names(kept).size() <= 5);
  }

  void anNtfsVolumesDeletedFilesAreRecoveredByteExact() {
    TempDir dir;
    std::string skipReason;
    std::map<std::string, std::string> files = {
        {"Pictures/Garden in May.jpg", MakeJpeg(dir, 500, 375, "7")},
        {"Work/Quarterly report.txt", std::string(120000, 'q')},
        {"Work/Budget 2026.bin", PseudoRandomBytes(700000, 8)},
        {"Tiny note.txt", "small enough to live in its record"},
    };
    DeletedFilesImage volume = MakeNtfsImageWithDeletedFiles(
        dir, files, {"Pictures/Garden in May.jpg", "Work/Quarterly report.txt", "Tiny note.txt"},
        skipReason);
    if (!skipReason.empty()) QSKIP(skipReason.c_str());
    DiskListItem item = ImageItem(volume.image, 3);
    QCOMPARE(Scan({&item}, CScanProcessWnd::kQuickScan), 1);
    std::vector<FoundRecord> found = Collect({&item});
    QCOMPARE(Names(found), (std::multiset<std::string>{"Garden in May.jpg", "Quarterly report.txt",
                                                       "Tiny note.txt"}));
    std::string destination = dir / "out";
    CRecoverProcessWnd recovery({destination, found, {&item}}, nullptr);
    FinishWhenDone(recovery);
    QCOMPARE(recovery.Run(), 1);
    QCOMPARE(recovery.Failed(), uint64_t{0});
    std::map<std::string, std::string> written = FilesUnder(destination);
    QCOMPARE(written["photo/Garden in May.jpg"], files["Pictures/Garden in May.jpg"]);
    QCOMPARE(written["document/Quarterly report.txt"], files["Work/Quarterly report.txt"]);
    QCOMPARE(written["document/Tiny note.txt"], files["Tiny note.txt"]);
  }

  void theScanFiguresAreShownAsTheyCame() {
    CScanProcessWnd window({}, CScanProcessWnd::kQuickScan, nullptr);
    window.OnProgress(Figures(50, 3725, 0, 0, 7));
    QCOMPARE(window.Run(), 1);
    QCOMPARE(window.findChild<QLabel*>("time")->text(), QString("Time left: 1 Hour 2 Min"));
    QCOMPARE(window.findChild<QLabel*>("percent")->text(), QString("Progress: 50%"));
    QVERIFY(window.findChild<QLabel*>("sectors")->isHidden());
    QVERIFY(window.findChild<QLabel*>("totalfile")->isHidden());

    CScanProcessWnd counting({}, CScanProcessWnd::kQuickScan, nullptr);
    counting.OnProgress(Figures(10, -1, 10, 400, 3));
    QCOMPARE(counting.Run(), 1);
    QCOMPARE(counting.findChild<QLabel*>("time")->text(), QString("Time left: estimating..."));
    QCOMPARE(counting.findChild<QProgressBar*>("progress")->value(), 10);
    QCOMPARE(counting.findChild<QLabel*>("sectors")->text(), QString("Sectors: 10 / 400"));
    QCOMPARE(counting.findChild<QLabel*>("totalfile")->text(), QString("Files found: 3"));

    // Done before any estimate came: nothing is left to estimate.
    CScanProcessWnd done({}, CScanProcessWnd::kQuickScan, nullptr);
    done.OnProgress(Figures(100, -1, 0, 0, 1));
    QCOMPARE(done.Run(), 1);
    QCOMPARE(done.findChild<QLabel*>("time")->text(), QString("Time left: 0 Sec"));
  }

  void cancellingTheCollectionOrTheRecoveryClosesWithTwo() {
    TempDir dir;
    DeletedFilesImage card = MakeSampleCard(dir);
    DiskListItem item = ImageItem(card.image, 1);
    QCOMPARE(Scan({&item}, CScanProcessWnd::kQuickScan), 1);
    BoxAnswerer answerer([](int, const QString&) { return CMessageBox::kOk; });
    RecordArena collected;
    CSearchProcessWnd collection({&item}, kEveryType, collected, nullptr);
    ClickSoon(collection, "cancelbtn");
    QCOMPARE(collection.Run(), 2);

    // The same files asked for many times: long enough that the click comes
    // first however busy the machine is.
    std::vector<FoundRecord> once = Collect({&item});
    std::vector<FoundRecord> results;
    for (int copy = 0; copy < 400; ++copy) results.insert(results.end(), once.begin(), once.end());
    CRecoverProcessWnd recovery({dir / "out", results, {&item}}, nullptr);
    ClickSoon(recovery, "CancelBtn");
    QCOMPARE(recovery.Run(), 2);
    QVERIFY(recovery.findChild<QPushButton*>("FinishBtn")->isHidden());
    QVERIFY(recovery.Completed() < results.size());
  }

  // A disk that stops giving sectors part way: the scan ends normally, and
  // the source is named incomplete with the stretches it could not read.
  void aSourceThatFailsReadsIsIncompleteWithItsUnreadStretches() {
    TempDir dir;
    DeletedFilesImage card = MakeSampleCard(dir);
    DiskListItem item = ImageItem(card.image, 1);
    FaultPlan plan;
    plan.failFrom = 3;  // the probe and the boot sector still arrive
    ReadFaults faults(plan);
    CScanProcessWnd scan({&item}, CScanProcessWnd::kQuickScan, nullptr);
    QCOMPARE(scan.Run(), 1);
    QVERIFY(scan.Skipped().empty());
    QCOMPARE(scan.Incomplete().size(), size_t{1});
    QCOMPARE(scan.Incomplete()[0].source, &item);
    QVERIFY(!scan.Incomplete()[0].unread.empty());
    QCOMPARE(scan.LastScanResult(), kReadFault);
  }

  void aSourceWithoutEngineClosesWithThree() {
    TempDir dir;
    WriteFile(dir / "noise.img", PseudoRandomBytes(1 << 20, 9));
    DiskListItem item = ImageItem(dir / "noise.img", 1);
    CScanProcessWnd scan({&item}, CScanProcessWnd::kQuickScan, nullptr);
    QCOMPARE(scan.Run(), 3);
    QVERIFY(!scan.FailureText().empty());
    QVERIFY(!item.engine);
  }

 private:
  std::unique_ptr<AppEnvironment> environment_;
};

QTEST_MAIN(ProgressWindowsTest)
#include "ProgressWindowsTest.moc"
